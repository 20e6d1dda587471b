#include "db/dialects/SqlServerDialect.h"

#include "db/SqlHelpers.h"

namespace svod::db {

namespace {
QString signedDays(int days) {
    return days < 0 ? QString::number(days) : u'+' + QString::number(days);
}

QString userTableTest(const QString& name, const QString& catalog) {
    return QStringLiteral("(select * from ") + catalog + QStringLiteral(" where id = object_id(N'") + name +
           QStringLiteral("') and OBJECTPROPERTY(id, N'IsUserTable') = 1)");
}
} // namespace

QString SqlServerDialect::tempTable(const QString& name) const {
    return u'#' + name;
}

QString SqlServerDialect::selectTop0Into(const QString& target, const QString& model) const {
    return QStringLiteral("select top 0 * into ") + target + QStringLiteral(" from ") + model;
}

QString SqlServerDialect::selectTop0IntoTemp(const QString& name, const QString& model) const {
    return selectTop0Into(tempTable(name), model);
}

QString SqlServerDialect::dateLiteral(const DateValue& date) const {
    return DateToServer(date);
}

QString SqlServerDialect::dateLiteralPlusDays(const DateValue& date, int days) const {
    return DateToServer(date) + signedDays(days);
}

QString SqlServerDialect::addDays(const QString& expression, int days) const {
    return expression + signedDays(days);
}

QString SqlServerDialect::isnull(const QString& value, const QString& replacement, bool upper) const {
    return (upper ? QStringLiteral("ISNULL(") : QStringLiteral("isnull(")) + value + u',' + replacement +
           u')';
}

QString SqlServerDialect::tableExistsQuery(const QString& qualifiedName) const {
    return QStringLiteral("if exists ") + userTableTest(qualifiedName, QStringLiteral("sysobjects")) +
           QStringLiteral(" select 1 AS RESULT else select 0 AS RESULT");
}

QString SqlServerDialect::ostat(const QString& idExpression, const DateValue& periodStart, int plane) const {
    return QStringLiteral("ISNULL(dbo.OSTAT(") + idExpression + u',' + DateToServer(periodStart) +
           QStringLiteral("-1,") + QString::number(plane) + QStringLiteral("),0)");
}

QString SqlServerDialect::selectTop(int rows, const QString& rest) const {
    return QStringLiteral("select top ") + QString::number(rows) + u' ' + rest;
}

QString SqlServerDialect::concat(const QStringList& parts) const {
    return parts.join(u'+');
}

QString SqlServerDialect::columnType(ColumnType type, int width) const {
    switch (type) {
    case ColumnType::Code:
    case ColumnType::Key:
    case ColumnType::Text:
        return QStringLiteral("VARCHAR(%1)").arg(width > 0 ? width : 254);
    case ColumnType::LongText:
        return QStringLiteral("VARCHAR(MAX)");
    case ColumnType::DateTime:
        return QStringLiteral("DATETIME");
    case ColumnType::Amount:
        return QStringLiteral("DECIMAL(19,4)");
    case ColumnType::Integer:
        return QStringLiteral("INT");
    case ColumnType::Identity:
        return QStringLiteral("INT IDENTITY(1,1) PRIMARY KEY");
    case ColumnType::Blob:
        return QStringLiteral("VARBINARY(MAX)");
    }
    return {};
}

QStringList SqlServerDialect::createTableIfMissing(const QString& table, const QString& columnsSql) const {
    return {QStringLiteral("if not exists ") + userTableTest(table, QStringLiteral("dbo.sysobjects")) +
            QStringLiteral(" create table ") + table + QStringLiteral(" (") + columnsSql + u')'};
}

QStringList SqlServerDialect::createIndexIfMissing(const QString& table, const QString& index,
                                                   const QString& columns, bool unique) const {
    return {QStringLiteral("if not exists (select * from sysindexes where name = N'") + index +
            QStringLiteral("') create ") + (unique ? QStringLiteral("unique ") : QString()) +
            QStringLiteral("index ") + index + QStringLiteral(" on ") + table + QStringLiteral(" (") +
            columns + u')'};
}

QStringList SqlServerDialect::createBalanceTableCopy(const QString& target, const QString& model,
                                                     const QString& indexName) const {
    const QString crlf = QStringLiteral("\r\n");
    return {QStringLiteral("if not exists ") + userTableTest(target, QStringLiteral("dbo.sysobjects")) +
            QStringLiteral(" ") + crlf + QStringLiteral("begin ") + crlf + QStringLiteral("  ") +
            selectTop0Into(target, model) + QStringLiteral(" ") + crlf +
            QStringLiteral("  create unique index ") + indexName + QStringLiteral(" on ") + target +
            QStringLiteral(" (ID,KOD_F,DD,TYP) ") + crlf + QStringLiteral("end ") + crlf};
}

QStringList SqlServerDialect::createOstatFunction() const {
    // The balance of an item and plane as of day D: SALDO of its latest row dated not after D.
    return {QStringLiteral(
        "if object_id(N'dbo.OSTAT') is null exec('"
        "create function dbo.OSTAT(@ID varchar(50), @DD datetime, @TYP int) returns decimal(19,4) as "
        "begin "
        "declare @R decimal(19,4) "
        "if @TYP in (1,2) "
        "select top 1 @R = SALDO from INV_OST where ID = @ID and TYP = cast(@TYP as varchar(1)) "
        "and DD < dateadd(day, 1, @DD) order by DD desc "
        "else "
        "select top 1 @R = SALDO from INV_OST3 where ID = @ID and TYP = cast(@TYP as varchar(1)) "
        "and DD < dateadd(day, 1, @DD) order by DD desc "
        "return @R "
        "end')")};
}

} // namespace svod::db

#include "db/dialects/SqliteDialect.h"

#include <QDateTime>

#include "db/SqlHelpers.h"

namespace svod::db {

namespace {
const QString IsoDateTime = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString isoLiteral(const DateValue& date) {
    return u'\'' + QDateTime(date.date(), QTime(0, 0)).toString(IsoDateTime) + u'\'';
}
} // namespace

QString SqliteDialect::tempTable(const QString& name) const {
    return QStringLiteral("temp.") + name;
}

QString SqliteDialect::selectTop0Into(const QString& target, const QString& model) const {
    return emptyCopyStatement(QStringLiteral("create table "), target, model, QStringLiteral("0"));
}

QString SqliteDialect::selectTop0IntoTemp(const QString& name, const QString& model) const {
    return emptyCopyStatement(QStringLiteral("create temp table "), name, model, QStringLiteral("0"));
}

QString SqliteDialect::dateLiteral(const DateValue& date) const {
    return isoLiteral(date);
}

QString SqliteDialect::dateLiteralPlusDays(const DateValue& date, int days) const {
    return isoLiteral(date.dayOnly().addDays(days));
}

QString SqliteDialect::addDays(const QString& expression, int days) const {
    return QStringLiteral("datetime(") + expression + QStringLiteral(",'") +
           (days < 0 ? QString::number(days) : u'+' + QString::number(days)) + QStringLiteral(" day')");
}

QString SqliteDialect::tableExistsQuery(const QString& qualifiedName) const {
    return QStringLiteral("select case when exists (select 1 from sqlite_master where type = 'table' and "
                          "lower(name) = lower(") +
           quote(bareTableName(qualifiedName)) + QStringLiteral(")) then 1 else 0 end AS RESULT");
}

QString SqliteDialect::ownerPrefix(const QString&) const {
    // SQLite has no owners: staging tables live in the main database.
    return {};
}

QString SqliteDialect::ostat(const QString& idExpression, const DateValue& periodStart, int plane) const {
    const QString table = plane <= 2 ? QStringLiteral("INV_OST") : QStringLiteral("INV_OST3");
    return QStringLiteral("coalesce((select O.SALDO from ") + table + QStringLiteral(" O where O.ID = ") +
           idExpression + QStringLiteral(" and O.TYP = '") + QString::number(plane) +
           QStringLiteral("' and O.DD < ") + isoLiteral(periodStart) +
           QStringLiteral(" order by O.DD desc limit 1),0)");
}

QString SqliteDialect::exactAmount(const QString& expression) const {
    // Binary doubles leave sums of two-decimal amounts off by ~1e-16; four decimals are exact.
    // Rounded as ten-thousandths to a whole number: SQLite rounds to decimals through printf
    // and back, which cost the balance checks a fifth of their time.
    return QStringLiteral("(round((") + expression + QStringLiteral(")*10000)/10000.0)");
}

QString SqliteDialect::columnType(ColumnType type, int width) const {
    switch (type) {
    case ColumnType::Code:
    case ColumnType::Key:
    case ColumnType::Text:
        return QStringLiteral("VARCHAR(%1)").arg(width > 0 ? width : 254);
    case ColumnType::LongText:
        return QStringLiteral("TEXT");
    case ColumnType::DateTime:
        return QStringLiteral("DATETIME");
    case ColumnType::Amount:
        return QStringLiteral("DECIMAL(19,4)");
    case ColumnType::Integer:
        return QStringLiteral("INTEGER");
    case ColumnType::Identity:
        return QStringLiteral("INTEGER PRIMARY KEY");
    case ColumnType::Blob:
        return QStringLiteral("BLOB");
    }
    return {};
}

QStringList SqliteDialect::createOstatFunction() const {
    return {};
}

QStringList SqliteDialect::indexTempTable(const QString& name, const QStringList& columns,
                                          const QStringList& carried) const {
    // Carried columns trail the key: sums and look-ups over the index then never read the table.
    const QString bare = bareTableName(name);
    return {QStringLiteral("create index if not exists temp.IX_") + bare + u'_' + columns.join(u'_') +
            QStringLiteral(" on ") + bare + QStringLiteral(" (") + (columns + carried).join(u',') + u')'};
}

QVariant SqliteDialect::toDbValue(const QVariant& value) const {
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        if (value.isNull())
            return QVariant(QMetaType::fromType<QString>());
        return QDateTime(value.toDate(), QTime(0, 0)).toString(IsoDateTime);
    case QMetaType::QDateTime:
        if (value.isNull())
            return QVariant(QMetaType::fromType<QString>());
        return value.toDateTime().toString(IsoDateTime);
    default:
        return value;
    }
}

QVariant SqliteDialect::fromDbValue(const QVariant& value) const {
    // Dates are kept in exactly this form, so a text of this shape is a date read back.
    if (value.metaType().id() != QMetaType::QString)
        return value;
    const QString text = value.toString();
    if (text.size() != 19 || text[4] != u'-' || text[7] != u'-' || text[10] != u' ' || text[13] != u':' ||
        text[16] != u':')
        return value;
    // Read digit by digit: QDateTime::fromString with a format costs a tenth of a millisecond a
    // value, which made reading a few thousand dates take longer than the query.
    auto number = [&text](int from, int length) {
        int n = 0;
        for (int i = from; i < from + length; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            n = n * 10 + (c - u'0');
        }
        return n;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2));
    if (!date.isValid() || !time.isValid())
        return value;
    return QDateTime(date, time);
}

} // namespace svod::db

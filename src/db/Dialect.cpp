#include "db/Dialect.h"

#include "db/Schema.h"
#include "db/SqlHelpers.h"
#include "db/dialects/PostgresDialect.h"
#include "db/dialects/SqlServerDialect.h"
#include "db/dialects/SqliteDialect.h"

namespace svod::db {

QString Dialect::ownerPrefix(const QString& owner) const {
    const QString trimmed = owner.trimmed();
    return trimmed.isEmpty() ? QString() : trimmed + u'.';
}

QString Dialect::quote(const QString& value) const {
    return sqlQuote(value);
}

QStringList Dialect::indexTempTable(const QString&, const QStringList&, const QStringList&) const {
    return {};
}

QString Dialect::isnull(const QString& value, const QString& replacement, bool) const {
    return QStringLiteral("coalesce(") + value + u',' + replacement + u')';
}

QString Dialect::exactAmount(const QString& expression) const {
    return expression;
}

QString Dialect::selectTop(int rows, const QString& rest) const {
    return QStringLiteral("select ") + rest + QStringLiteral(" limit ") + QString::number(rows);
}

QString Dialect::concat(const QStringList& parts) const {
    return parts.join(QStringLiteral("||"));
}

QStringList Dialect::createTableIfMissing(const QString& table, const QString& columnsSql) const {
    return {QStringLiteral("create table if not exists ") + table + QStringLiteral(" (") + columnsSql + u')'};
}

QStringList Dialect::createIndexIfMissing(const QString& table, const QString& index, const QString& columns,
                                          bool unique) const {
    return {QStringLiteral("create ") + (unique ? QStringLiteral("unique ") : QString()) +
            QStringLiteral("index if not exists ") + index + QStringLiteral(" on ") + table +
            QStringLiteral(" (") + columns + u')'};
}

QStringList Dialect::createBalanceTableCopy(const QString& target, const QString& model,
                                            const QString& indexName) const {
    QStringList statements = createTableIfMissing(target, columnsSql(*this, balanceTable(model)));
    statements << createIndexIfMissing(target, indexName, QStringLiteral("ID,TYP,DD,KOD_F"), true);
    return statements;
}

QString Dialect::createLookupTemp(const QString& name, const QString& model, const QStringList&) const {
    return selectTop0IntoTemp(name, model);
}

QStringList Dialect::indexLookupTemp(const QString& name, const QStringList& key,
                                     const QStringList& carried) const {
    return indexTempTable(name, key, carried);
}

QVariant Dialect::toDbValue(const QVariant& value) const {
    return value;
}

QVariant Dialect::fromDbValue(const QVariant& value) const {
    return value;
}

std::unique_ptr<Dialect> makeDialect(Backend backend) {
    switch (backend) {
    case Backend::SQLite:
        return std::make_unique<SqliteDialect>();
    case Backend::PostgreSQL:
        return std::make_unique<PostgresDialect>();
    case Backend::SqlServer:
        return std::make_unique<SqlServerDialect>();
    }
    return nullptr;
}

QString fullTableName(const QString& prefix, const QString& name) {
    return prefix + name;
}

QString emptyCopyStatement(const QString& create, const QString& target, const QString& model,
                           const QString& never) {
    return create + target + QStringLiteral(" as select * from ") + model + QStringLiteral(" where ") + never;
}

QString bareTableName(const QString& name) {
    QString bare = name;
    if (bare.startsWith(u'#'))
        bare.remove(0, 1);
    const qsizetype dot = bare.lastIndexOf(u'.');
    return dot >= 0 ? bare.mid(dot + 1) : bare;
}

} // namespace svod::db

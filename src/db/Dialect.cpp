#include "db/Dialect.h"

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

} // namespace svod::db

#pragma once

#include "db/Dialect.h"

namespace svod::db {

// PostgreSQL: temporary tables in pg_temp, NUMERIC amounts, OSTAT as an SQL function.
class PostgresDialect final : public Dialect {
public:
    Backend backend() const override { return Backend::PostgreSQL; }
    QString tempTable(const QString& name) const override;
    QString selectTop0Into(const QString& target, const QString& model) const override;
    QString selectTop0IntoTemp(const QString& name, const QString& model) const override;
    QString dateLiteral(const DateValue& date) const override;
    QString dateLiteralPlusDays(const DateValue& date, int days) const override;
    QString addDays(const QString& expression, int days) const override;
    QString tableExistsQuery(const QString& qualifiedName) const override;
    QString ostat(const QString& idExpression, const DateValue& periodStart, int plane) const override;
    QString columnType(ColumnType type, int width) const override;
    QStringList createOstatFunction() const override;
    QStringList indexTempTable(const QString& name, const QStringList& columns,
                               const QStringList& carried) const override;
    QStringList indexLookupTemp(const QString& name, const QStringList& key,
                                const QStringList& carried) const override;
};

} // namespace svod::db

#pragma once

#include "db/Dialect.h"

namespace svod::db {

// Transact-SQL, written exactly as the reference statements.
class SqlServerDialect final : public Dialect {
public:
    Backend backend() const override { return Backend::SqlServer; }
    QString tempTable(const QString& name) const override;
    QString selectTop0Into(const QString& target, const QString& model) const override;
    QString selectTop0IntoTemp(const QString& name, const QString& model) const override;
    QString dateLiteral(const DateValue& date) const override;
    QString dateLiteralPlusDays(const DateValue& date, int days) const override;
    QString addDays(const QString& expression, int days) const override;
    QString isnull(const QString& value, const QString& replacement, bool upper) const override;
    QString tableExistsQuery(const QString& qualifiedName) const override;
    QString ostat(const QString& idExpression, const DateValue& periodStart, int plane) const override;
    QString selectTop(int rows, const QString& rest) const override;
    QString concat(const QStringList& parts) const override;
    QString columnType(ColumnType type, int width) const override;
    QStringList createTableIfMissing(const QString& table, const QString& columnsSql) const override;
    QStringList createIndexIfMissing(const QString& table, const QString& index, const QString& columns,
                                     bool unique) const override;
    QStringList createBalanceTableCopy(const QString& target, const QString& model,
                                       const QString& indexName) const override;
    QStringList createOstatFunction() const override;
};

} // namespace svod::db

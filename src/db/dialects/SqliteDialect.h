#pragma once

#include "db/Dialect.h"

namespace svod::db {

// SQLite: temporary tables in the "temp" schema, dates as ISO text, OSTAT inlined.
class SqliteDialect final : public Dialect {
public:
    Backend backend() const override { return Backend::SQLite; }
    QString tempTable(const QString& name) const override;
    QString selectTop0Into(const QString& target, const QString& model) const override;
    QString selectTop0IntoTemp(const QString& name, const QString& model) const override;
    QString dateLiteral(const DateValue& date) const override;
    QString dateLiteralPlusDays(const DateValue& date, int days) const override;
    QString addDays(const QString& expression, int days) const override;
    QString tableExistsQuery(const QString& qualifiedName) const override;
    QString ostat(const QString& idExpression, const DateValue& periodStart, int plane) const override;
    QString exactAmount(const QString& expression) const override;
    QString columnType(ColumnType type, int width) const override;
    QStringList createOstatFunction() const override;
    QString ownerPrefix(const QString& owner) const override;
    QStringList indexTempTable(const QString& name, const QStringList& columns,
                               const QStringList& carried) const override;
    QVariant toDbValue(const QVariant& value) const override;
    QVariant fromDbValue(const QVariant& value) const override;
};

} // namespace svod::db

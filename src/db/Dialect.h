#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "db/ConnectionString.h"
#include "db/DateValue.h"

namespace svod::db {

// Column kinds of the central tables; each backend declares them in its own words.
enum class ColumnType { Code, Key, Text, LongText, DateTime, Amount, Integer, Identity, Blob };

// Builds SQL text for one backend. The SQL Server dialect writes the statements exactly as the
// reference system sends them; SQLite and PostgreSQL write statements with the same meaning.
// Temporary table names are given without the leading '#': tempTable("TEMP1").
class Dialect {
public:
    virtual ~Dialect() = default;

    virtual Backend backend() const = 0;

    // --- blocks ---------------------------------------------------------------------------
    // A connection-private temporary table as referenced in statements ("#TEMP1").
    virtual QString tempTable(const QString& name) const = 0;
    // An empty copy of `model` (its columns in its order) named `target`: "select top 0 * into".
    virtual QString selectTop0Into(const QString& target, const QString& model) const = 0;
    // The same into a connection-private temporary table.
    virtual QString selectTop0IntoTemp(const QString& name, const QString& model) const = 0;
    // A connection-private temporary copy of `model`'s columns that the checks look rows up in by
    // `key` (selectTop0IntoTemp unless a server needs more).
    virtual QString createLookupTemp(const QString& name, const QString& model, const QStringList& key) const;
    // A date literal of the date part (time of day dropped).
    virtual QString dateLiteral(const DateValue& date) const = 0;
    // The literal of `date` moved by whole days: on SQL Server the literal followed by "-1"/"+1".
    virtual QString dateLiteralPlusDays(const DateValue& date, int days) const = 0;
    // A date expression moved by whole days.
    virtual QString addDays(const QString& expression, int days) const = 0;
    // isnull(a,b); `upper` writes ISNULL as some statements do.
    virtual QString isnull(const QString& value, const QString& replacement, bool upper = false) const;
    // A one-row query whose column RESULT is 1 when the user table exists, else 0.
    virtual QString tableExistsQuery(const QString& qualifiedName) const = 0;
    // The owner prefix of staging tables: "dbo." for owner "dbo", empty for no owner.
    virtual QString ownerPrefix(const QString& owner) const;
    // The accepted balance as of the day before `periodStart`, NULL read as 0:
    // ISNULL(dbo.OSTAT(A.ID,<literal>-1,1),0).
    virtual QString ostat(const QString& idExpression, const DateValue& periodStart, int plane) const = 0;
    // An amount expression whose value compares exactly with 0 and with other amounts.
    virtual QString exactAmount(const QString& expression) const;
    // "select top n <rest>" / "select <rest> limit n"; rest starts with the column list.
    virtual QString selectTop(int rows, const QString& rest) const;
    // Text concatenation.
    virtual QString concat(const QStringList& parts) const;
    // A text value for SQL text: quotes doubled.
    QString quote(const QString& value) const;

    // --- schema ---------------------------------------------------------------------------
    virtual QString columnType(ColumnType type, int width = 0) const = 0;
    // Statements creating the table when it is missing.
    virtual QStringList createTableIfMissing(const QString& table, const QString& columnsSql) const;
    virtual QStringList createIndexIfMissing(const QString& table, const QString& index,
                                             const QString& columns, bool unique) const;
    // The administration batch: when `target` is missing, create it as an empty copy of the balance
    // table `model` with a unique key over ID, KOD_F, DD, TYP (in look-up order, where the server
    // allows, so that it also serves OSTAT and no second index is kept up).
    virtual QStringList createBalanceTableCopy(const QString& target, const QString& model,
                                               const QString& indexName) const;
    // Creates or replaces the balance function OSTAT; empty where the dialect inlines it.
    virtual QStringList createOstatFunction() const = 0;
    // Statements run after a bulk load into a temporary table (indexes for the checks). `carried`
    // columns may ride along in the index where that spares the checks reading the rows.
    virtual QStringList indexTempTable(const QString& name, const QStringList& columns,
                                       const QStringList& carried = {}) const;
    // The same for a table made by createLookupTemp, indexed by its key.
    virtual QStringList indexLookupTemp(const QString& name, const QStringList& key,
                                        const QStringList& carried = {}) const;
    // Converts a value bound into a statement to what the column keeps (dates on SQLite).
    virtual QVariant toDbValue(const QVariant& value) const;
    // Converts a value read from a column back to its type (dates kept as text on SQLite).
    virtual QVariant fromDbValue(const QVariant& value) const;
};

std::unique_ptr<Dialect> makeDialect(Backend backend);

// Table or column name for SQL text; fixed names of the database contract pass unchanged.
QString fullTableName(const QString& prefix, const QString& name);

// "create table T as select * from M where <never>": an empty copy of a table's columns, where the
// server has no "select top 0 ... into".
QString emptyCopyStatement(const QString& create, const QString& target, const QString& model,
                           const QString& never);

// The table's own name without its schema or temporary marker: "TEMP1" from "temp.TEMP1",
// "pg_temp.TEMP1" or "#TEMP1".
QString bareTableName(const QString& name);

} // namespace svod::db

#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace svod::db {

class Connection;

// Appends rows to one table as fast as the backend allows: on SQLite one prepared single-row
// insert stepped through the library itself, on PostgreSQL COPY FROM STDIN, elsewhere multi-row
// inserts through Qt SQL. Values arrive as the column keeps them (Dialect::toDbValue); a NULL
// QVariant or a null text, byte array or date is NULL, as Qt SQL binds them.
// Rows added are sent at flush() at the latest and stored for good by finish(); errors of those rows
// surface at a flush or at finish() (on PostgreSQL one COPY runs from the first flush to finish(),
// and an inserter destroyed before finish() abandons it). The caller owns the transaction.
class BulkInsert {
public:
    // How the rows travel.
    enum class Method { Statements, SqliteLibrary, PostgresCopy };

    virtual ~BulkInsert() = default;
    BulkInsert(const BulkInsert&) = delete;
    BulkInsert& operator=(const BulkInsert&) = delete;

    virtual Method method() const = 0;

    // The next value of the current row, in column order.
    virtual void add(const QVariant& value) = 0;
    // Ends the current row; every column must have had its value.
    virtual void endRow() = 0;
    // Sends the rows added so far.
    virtual void flush() = 0;
    // Sends what is left and ends the load.
    virtual void finish() { flush(); }

protected:
    BulkInsert() = default;
};

// The fastest loader the connection supports for `table` (columns in the order values arrive).
std::unique_ptr<BulkInsert> makeBulkInsert(Connection& connection, const QString& table,
                                           const QStringList& columns);

// The value Qt SQL would bind as NULL.
bool isNullValue(const QVariant& value);

} // namespace svod::db

#pragma once

#include "directory/RowTable.h"

namespace svod::db {
class Connection;
}

namespace svod::directory {

// A read-only result set: the query object of a view.
class QueryTable : public RowTable {
    Q_OBJECT
public:
    explicit QueryTable(QObject* parent = nullptr) : RowTable(parent) {}

    // Runs `sql` and holds its rows. A failure leaves the table closed and propagates.
    void open(db::Connection& connection, const QString& sql);
    const QString& sql() const { return sql_; }
    // Holds the rows of a query run elsewhere.
    void fill(QSqlQuery& query, const db::Dialect& dialect) { load(query, dialect); }

private:
    QString sql_;
};

} // namespace svod::directory

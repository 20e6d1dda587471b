#pragma once

#include <QVariant>
#include <map>
#include <string>
#include <vector>

#include "db/BulkInsert.h"

struct sqlite3;
struct sqlite3_stmt;

namespace svod::db {

// The UTF-8 bytes of `text` into `bytes` (reused buffer; ASCII copied without a conversion).
void utf8Into(const QString& text, std::string& bytes);

// Rows kept as bound values and stepped through the SQLite library in multi-row inserts of up to
// BatchRows rows: no SQL text and no QVariant conversion per value, and one statement run per
// batch instead of per row. Values are bound as Qt's SQLite driver binds them.
class SqliteBulkInsert final : public BulkInsert {
public:
    SqliteBulkInsert(sqlite3* handle, const QString& table, const QStringList& columns);
    ~SqliteBulkInsert() override;

    Method method() const override { return Method::SqliteLibrary; }
    void add(const QVariant& value) override;
    void endRow() override;
    void flush() override;

private:
    // One value waiting for its statement.
    struct Cell {
        enum class Kind { Null, Integer, Double, Text, Blob } kind = Kind::Null;
        qint64 integer = 0;
        double number = 0;
        std::string text; // UTF-8; bound without a copy, so it lives until the step
        QVariant held;    // the byte array of a blob
    };

    [[noreturn]] void fail(sqlite3_stmt* statement);
    void setText(Cell& cell, const QString& text);
    sqlite3_stmt* statementFor(int rows);
    void send(int rows);

    sqlite3* db_;
    QString table_;
    QStringList columns_;
    int columnCount_;
    int batchRows_;
    int next_ = 0;
    int rows_ = 0;
    std::vector<Cell> cells_;
    // Prepared inserts by their row count: the full batch and the remainders flushed.
    std::map<int, sqlite3_stmt*> statements_;
};

} // namespace svod::db

#pragma once

#include <string>
#include <vector>

#include "db/BulkInsert.h"

struct sqlite3;
struct sqlite3_stmt;

namespace svod::db {

// One prepared single-row insert stepped through the SQLite library for every row: no SQL text
// and no QVariant conversion per value. Values are bound as Qt's SQLite driver binds them.
class SqliteBulkInsert final : public BulkInsert {
public:
    SqliteBulkInsert(sqlite3* handle, const QString& table, const QStringList& columns);
    ~SqliteBulkInsert() override;

    Method method() const override { return Method::SqliteLibrary; }
    void add(const QVariant& value) override;
    void endRow() override;
    void flush() override {}

private:
    [[noreturn]] void fail();
    void bindText(int index, const QString& text);

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
    int columns_;
    int next_ = 0;
    // UTF-8 of the current row's texts; bound without a copy, so they live until the step.
    std::vector<std::string> texts_;
    std::vector<QVariant> held_;
};

} // namespace svod::db

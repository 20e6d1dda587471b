#pragma once

#include <QString>
#include <QStringList>
#include <memory>

struct sqlite3;

namespace svod::db {

// Name of the module registerMemoryTableModule adds.
inline constexpr const char* MemoryTableModule = "svod_memory";

// Registers the module "svod_memory" on one SQLite connection: a connection-private table whose
// rows live in this process's memory, created as
//   create virtual table temp.NAME using svod_memory(MODEL, KEY1, KEY2, ...)
// with the columns (names and declared types, so the same affinities) of table MODEL. Rows can
// only be appended; a rollback takes back what its transaction or savepoint appended. Reads return
// the rows ordered by the key columns, and equal values of leading key columns are looked up
// directly. A packet's balance rows live in such a table during a reception: appending and
// ordering them in memory costs a fraction of writing and indexing a temporary table on disk, and
// dropping it is immediate.
void registerMemoryTableModule(sqlite3* handle);

class BulkInsert;

// Appends rows to the memory table `table` ("temp.NAME") of this connection directly, without a
// statement per batch, applying the columns' affinities as an insert would; null when `table` is
// not a memory table. The rows join the connection's transaction: a rollback takes them back.
std::unique_ptr<BulkInsert> makeMemoryTableInsert(sqlite3* handle, const QString& table,
                                                  const QStringList& columns);

} // namespace svod::db

#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace svod::db {
class Connection;
class Dialect;
} // namespace svod::db

namespace svod::directory {

class QueryTable;

// The pages of the administration window and the codes that open them. The two maintenance
// codes are a lock: they are shown nowhere in the program.
enum class AdminPage { Command = 0, TableCreation = 1, Query = 2 };
inline constexpr int CommandPageCode = 0;
inline constexpr int TableCreationPageCode = 4711;
inline constexpr int QueryPageCode = 25817;

// The page whose code, written in decimal, equals `typed` exactly; nothing for any other text
// (a leading zero or a trailing space opens nothing).
std::optional<AdminPage> pageForCode(const QString& typed);

// The tables the administration creates as empty copies of INV_OST with a unique index.
bool isCreatableTable(const QString& table);
// The batch for one of them ("if not exists … select top 0 * into …").
QStringList createTableBatch(const db::Dialect& dialect, const QString& table);
// Creates the table when missing; an existing table is left as it is. Throws on failure.
void createBalanceTable(db::Connection& connection, const QString& table);
inline const QString CreatedMessage = QStringLiteral("OK");

// "Выполнить": the typed text run as a query. A text that returns rows fills `rows`; one that
// returns none (an update, a delete) has run all the same and reports how many rows it changed.
struct AdminQueryResult {
    bool hasRows = false;
    int rowsAffected = -1;
};
AdminQueryResult runAdminQuery(db::Connection& connection, const QString& text, QueryTable& rows);
QString rowsChangedMessage(int rowsAffected);

} // namespace svod::directory

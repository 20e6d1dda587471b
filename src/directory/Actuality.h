#pragma once

#include <QString>
#include <QStringList>

#include "directory/ViewColumn.h"

namespace svod::db {
class Connection;
class Dialect;
} // namespace svod::db

namespace svod::reception {
class Interaction;
}

namespace svod::directory {

// Seconds the data actuality and reception log views give their queries; the connection keeps
// the value from then on.
inline constexpr int LongCommandTimeout = 10000;

// One row per branch: the span of accepted dollar and rouble balances and whether inflation
// revaluations exist.
QString actualityQuery(const db::Dialect& dialect);
ViewColumns actualityColumns();

// The four deletions of a branch's accepted data, in the order they run.
QStringList deleteBranchStatements(const db::Dialect& dialect, const QString& code);
// Runs them in one transaction: all or nothing. FILIALS, LOG_ACCEPT and CLT stay untouched.
void deleteBranchData(db::Connection& connection, const QString& code);
// Rows each deletion would remove, in the same order as deleteBranchStatements.
QList<qint64> branchDataCounts(db::Connection& connection, const QString& code);

inline const QString DeletingStatus = QStringLiteral("Подождите, идет удаление ...");
inline const QString DataDeletedMessage = QStringLiteral("Данные удалены");
QString deleteBranchQuestion(const QString& name);

// "Удалить данные по филиалу": a code not exactly two characters long ends the command without
// a word; otherwise asks, shows the status text and the hourglass, deletes and says so. True
// when the data were deleted. A failure propagates with the status text left as it is.
bool deleteBranchCommand(db::Connection& connection, reception::Interaction& interaction, const QString& code,
                         const QString& name);

} // namespace svod::directory

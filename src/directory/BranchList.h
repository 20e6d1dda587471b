#pragma once

#include <QString>
#include <memory>

#include "db/DateValue.h"
#include "directory/ViewColumn.h"
#include "directory/EditableTable.h"

namespace svod::db {
class Connection;
}

namespace svod::directory {

// The branch list: table FILIALS ordered by KOD.
ViewColumns filialsColumns();
// Opens FILIALS for editing; throws "Field 'KOD' not found" (and the like) when a required
// column is missing, with the table left open.
void openFilials(EditableTable& table);
std::unique_ptr<EditableTable> makeFilialsTable(db::Connection& connection);

// The program variables: table CLT ordered by LABEL, the propagation installed as after-post.
ViewColumns cltColumns();
void openClt(EditableTable& table);
std::unique_ptr<EditableTable> makeCltTable(db::Connection& connection);

inline const QString MinDateDollarsLabel = QStringLiteral("MIN_DATE_CAN_LOAD_DOL");
inline const QString MinDateRoublesLabel = QStringLiteral("MIN_DATE_CAN_LOAD_RUB");

// "update FILIALS set <column> = <date literal>": every branch.
QString setFilialsMinDateStatement(const db::Dialect& dialect, const QString& column, const DateValue& date);
// Writes one date into one column of every branch, in one transaction.
void SetFilialsMinDate(db::Connection& connection, const QString& column, const DateValue& date);
// After a CLT row is posted: the two minimum reception dates go into every branch (exact,
// case-sensitive labels; the row's own DD plays no part). Other labels change nothing.
void CLTChange2(db::Connection& connection, const EditableTable& table, int row);

// svod-cli "vars set": the newest-dated row of LABEL (a new row dated today when there is
// none) gets the value in the column of its kind, posted as the grid posts it.
enum class VariableKind { Date, Text, Number };
struct VariableChange {
    QString label;
    VariableKind kind = VariableKind::Text;
    QString value;
};
struct VariableResult {
    bool appended = false;
    QVariant id;
};
VariableResult setVariable(db::Connection& connection, const VariableChange& change);

} // namespace svod::directory

#pragma once

#include <QString>

#include "reception/ReceptionState.h"

namespace svod::dbf {
class DbfTable;
}
namespace svod::db {
class Connection;
class Dialect;
} // namespace svod::db

namespace svod::reception {

class Interaction;

// The scan of the movements file: format, selection dates, plane periods, control planes and the
// newer program's marker. Stops on nothing.
void RunPerDvij(dbf::DbfTable& b, ReceptionState& state, Interaction& interaction);

// The packet description of the confirmation.
QString GetPeriodsTexts(const ReceptionState& state);

// "select top 1 ID,substring(ID,3,1) AS KVRFL from INV where KOD_F = '<code>'".
QString previosNotFromKvaroQuery(const db::Dialect& dialect, const QString& code);
// The branch's accepted data came from the older program (decided by one item).
bool PreviosNotFromKvaro(db::Connection& connection, const QString& code);

// An ID made by the newer program "ЛирантКваро".
bool isKvaroId(const QString& id);

} // namespace svod::reception

#pragma once

#include <QString>

#include "db/DateValue.h"

namespace svod::db {
class Connection;
class Dialect;
} // namespace svod::db

namespace svod::reception {

class Interaction;
class ReceptionService;
struct ReceptionState;

// The staging tables an outside process fills on the server; names without the owner prefix.
inline const QString StagingItems = QStringLiteral("TEMP_MU_MSFO_SBROS_A");
inline const QString StagingMovements = QStringLiteral("TEMP_MU_MSFO_SBROS_B");

namespace statements {
QString stagingExists(const db::Dialect& d, const QString& prefix, const QString& table);
QString stagingItemCodes(const QString& prefix);
QString stagingDuplicateIds(const QString& prefix);
QString stagingMovementCodes(const QString& prefix);
// The header row of a plane ("1" currency, "3" roubles).
QString stagingHeaderDate(const QString& prefix, const QString& plane);
QString stagingPlaneDates(const QString& prefix, const QString& plane);
QString fillTemp1FromStaging(const db::Dialect& d, const QString& prefix);
QString fillTemp2FromStaging(const db::Dialect& d, const QString& prefix);
QString dropStaging(const QString& prefix, const QString& table);
} // namespace statements

// A code counts as empty when nothing but blanks and control characters remains.
QString trimControl(const QString& text);

// Earliest and latest date of the plane's data rows in the movements staging table, as whole days;
// either stays as it is when there is none.
void AssignDates(db::Connection& connection, const QString& prefix, const QString& plane, DateValue& minimum,
                 DateValue& maximum);
// Format, selection dates and plane periods of the packet in the staging tables.
void GetPeriodNew(db::Connection& connection, const QString& prefix, ReceptionState& state,
                  Interaction& interaction);

// The direct branch of priemNEW: "#TEMP1" and "#TEMP2" filled on the server from the staging tables.
void fillTempTablesFromStaging(db::Connection& connection, const QString& prefix, Interaction& interaction);
// After a commit: the received staging tables go; a failure to drop them is ignored.
void dropStagingTables(db::Connection& connection, const QString& prefix);

// The reception from the staging tables: tests of the tables (PacketError with the message),
// confirmation, loading through the service's priemNEW, clean-up and the success message.
void LoadPacketDirect(ReceptionService& service, db::Connection& connection, Interaction& interaction);

} // namespace svod::reception

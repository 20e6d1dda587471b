#pragma once

#include <QString>
#include <functional>

#include "checks/ProtocolStore.h"
#include "db/DateValue.h"

namespace svod::db {
class Connection;
class Dialect;
} // namespace svod::db

namespace svod::checks {

// What the checks read of the reception under way.
struct CheckContext {
    QString FilialCode;
    DateValue CurrencyFrom = DateValue::noDate();
    DateValue RoublesFrom = DateValue::noDate();
    bool HasControlPlanes = false;
    ProtocolHeader header;
    // SQLite: TEMP2 has no lookup index yet; a check probing it per item scans it once instead.
    bool balanceRowsUnindexed = false;
};

// The statements of the packet's own checks over the temporary tables.
namespace statements {
QString doubleIdInA(const db::Dialect& d);
QString noRequiredFields(const db::Dialect& d);
QString bExistsInA(const db::Dialect& d);
QString controlDatesCurrency(const db::Dialect& d, const DateValue& currencyFrom);
QString controlDatesRoubles(const db::Dialect& d, const DateValue& roublesFrom);
QString noGroup(const db::Dialect& d);
// The items of group 9 with depreciation rows, found in one pass over TEMP2 (SQLite, no index).
QString hasAmortIn9GroupByScan(const db::Dialect& d);
QString noShifr(const db::Dialect& d);
QString hasAmortIn9Group(const db::Dialect& d);
} // namespace statements

// The checks that look at the packet by itself. Each sets its caption, runs one statement and
// stores a protocol of what it found; none stops the reception.
class PacketChecks {
public:
    using InfoFunction = std::function<void(const QString&)>;

    PacketChecks(db::Connection& connection, ProtocolStore& store, CheckContext context, InfoFunction info);

    void CheckDouble_ID_In_A();
    void CheckNoRequredFields();
    void CheckBExistsInA();
    void CheckCorrectDateAndPL();
    void CheckNoGroup();
    void CheckNoShifr();
    void CheckHasAMORT_In9Group();

private:
    // Runs the statement; on rows, a protocol with the title.
    void run(const QString& sql, const QString& title);

    db::Connection& connection_;
    ProtocolStore& store_;
    CheckContext context_;
    InfoFunction info_;
};

} // namespace svod::checks

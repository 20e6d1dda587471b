#pragma once

#include <QString>
#include <QStringList>
#include <array>

#include "db/DateValue.h"

namespace svod::reception {

// What is known about the packet under reception. Owned by the reception service and
// overwritten by the next reception; the checks and the protocols read it.
struct ReceptionState {
    QString FilialCode;
    QString AcceptCode;
    QString FilialName;
    QString PacketInfo;
    bool NewFormat = false;
    bool FromKvaro = false;
    bool HasControlPlanes = false;
    DateValue CurrencyFrom = DateValue::noDate();
    DateValue RoublesFrom = DateValue::noDate();
    // Planes 1..4 at indexes 0..3.
    std::array<DateValue, 4> MinDD{DateValue::farFuture(), DateValue::farFuture(), DateValue::farFuture(),
                                   DateValue::farFuture()};
    std::array<DateValue, 4> MaxDD{DateValue::noDate(), DateValue::noDate(), DateValue::noDate(),
                                   DateValue::noDate()};
    bool DirectMode = false;
    bool ReceptionOk = false;
    // The branch's limit dates (FILIALS D_MIN_VAL, D_MIN_RUB) in whole days; day 0 means no limit.
    DateValue CurrencyLimit{0.0};
    DateValue RoublesLimit{0.0};
    // Rows of the B file with another branch's code, left out of the store, and those codes.
    qint64 LeftOutRows = 0;
    QStringList LeftOutCodes;

    // The start of a reception command.
    void clearForCommand() {
        FilialCode.clear();
        AcceptCode.clear();
        FilialName.clear();
        PacketInfo.clear();
        ReceptionOk = false;
        HasControlPlanes = false;
        LeftOutRows = 0;
        LeftOutCodes.clear();
    }
    // The start of a scan of the movements.
    void resetPeriods() {
        NewFormat = false;
        FromKvaro = false;
        HasControlPlanes = false;
        CurrencyFrom = DateValue::noDate();
        RoublesFrom = DateValue::noDate();
        MinDD.fill(DateValue::farFuture());
        MaxDD.fill(DateValue::noDate());
    }
    // Plane 1..4 has data rows.
    bool hasPlaneData(int plane) const { return MinDD[plane - 1] <= MaxDD[plane - 1]; }
};

} // namespace svod::reception

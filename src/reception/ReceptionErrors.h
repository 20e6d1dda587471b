#pragma once

#include <QString>

#include "db/Error.h"

namespace svod::dbf {
class DbfTable;
}

namespace svod::reception {

// A validation message of the packet files (PriemError): the reception stopped.
class PacketError : public Error {
public:
    using Error::Error;
};
// The checks found errors; the protocols were shown.
class RefusedError : public Error {
public:
    using Error::Error;
};
// "Прервано пользователем".
class AbortedError : public Error {
public:
    using Error::Error;
};

// A value of the table's current row that cannot be read (a date that is no calendar date):
// the file, the row, the item and the field, so that the branch can find and mend it.
PacketError badValueError(const dbf::DbfTable& table, const QString& field, const QString& reason);

} // namespace svod::reception

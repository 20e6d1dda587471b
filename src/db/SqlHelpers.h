#pragma once

#include <QString>

#include "db/DateValue.h"

namespace svod {

// A directory text ending in a separator. `separator` is the host's ('\\' where paths have
// drive letters); the drive-letter rule applies only with '\\'.
QString NormalDir(const QString& dir, QChar separator);
// The host's form.
QString NormalDir(const QString& dir);

inline QString iif(bool condition, const QString& whenTrue, const QString& whenFalse) {
    return condition ? whenTrue : whenFalse;
}

// SQL Server date literal of the date part: CONVERT(DATETIME,'dd.mm.yyyy',104).
QString DateToServer(const DateValue& date);

// The genitive month name and the year: "января 2005".
QString MonthAndYear(const DateValue& date);
const QString& monthNameGenitive(int month);

// A text value as an SQL literal: between single quotes, inner quotes doubled.
QString sqlQuote(const QString& value);

} // namespace svod

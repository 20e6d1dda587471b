#pragma once

#include <QString>

#include "db/DateValue.h"

namespace svod {

// The process-wide formats: everything shown to the user follows them.
namespace formats {
inline constexpr char16_t DateSeparator = u'.';
inline constexpr char16_t DecimalSeparator = u',';
inline const QString ShortDate = QStringLiteral("dd.MM.yyyy");
inline const QString ShortTime = QStringLiteral("hh.mm.ss");
} // namespace formats

// "dd.mm.yyyy".
QString formatDate(const DateValue& value);
QString formatDate(const QDate& date);
// The short date, followed by the time when the value carries one.
QString formatDateTime(const DateValue& value);
// General decimal form with up to 15 significant digits and "," as separator.
QString formatNumber(double value);
// Fixed decimals with "," as separator (amounts in protocols: "#0.00").
QString formatFixed(double value, int decimals);

} // namespace svod

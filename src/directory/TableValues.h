#pragma once

#include <QString>
#include <QVariant>

namespace svod::directory {

// What kind of value a column of a view holds, for showing and for parsing typed text.
enum class ValueKind { Text, Date, Number, Integer };

// A value as the grids and svod-cli show it: dates as dd.mm.yyyy (with the time of day when
// there is one), numbers with "," as decimal separator, NULL as empty.
QString displayText(const QVariant& value);

// Typed text converted to a value of the column's kind: empty text is NULL, dates as dd.mm.yyyy
// (optionally followed by hh:mm:ss or hh.mm.ss) or yyyy-mm-dd, numbers with "," or ".".
// Throws Error with the user's text when it is not such a value.
QVariant parseValue(const QString& text, ValueKind kind);

// The kind a value read from the server suggests.
ValueKind kindOf(const QVariant& value);

} // namespace svod::directory

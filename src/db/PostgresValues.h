#pragma once

#include <QByteArray>
#include <QVariant>

namespace svod::db::pgvalues {

// The column types a COPY in the binary format can fill without the server parsing text.
enum class ColumnType { Text, Numeric, Timestamp, Date, Int2, Int4, Int8, Float8, Bool, Bytea, Other };

// The column type of a type OID of pg_type.
ColumnType columnTypeOf(unsigned oid);

// The text the COPY text format carries for a value that is not a text (numbers in their shortest
// form that reads back the same, dates as yyyy-MM-dd), before escaping.
void appendPlainText(QByteArray& out, const QVariant& value);

// Whether a value of this kind goes into a column of that type without the server parsing text.
bool binaryFits(ColumnType column, const QVariant& value);

// One field of a binary COPY row (its length, then its bytes; -1 for NULL). A value out of the
// column's range throws DbError worded as the server words it.
void appendBinaryField(QByteArray& out, ColumnType column, const QVariant& value);

// A decimal number (digits, an optional point, an optional exponent) as the binary numeric:
// every digit kept, the column's scale applied by the server as for a text. False for other text.
bool appendNumeric(QByteArray& out, const char* text, qsizetype size);

} // namespace svod::db::pgvalues

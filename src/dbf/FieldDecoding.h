#pragma once

#include <QtGlobal>
#include <cstdint>
#include <optional>
#include <string_view>

namespace svod::dbf {

// Stored bytes without leading and trailing bytes up to 0x20 (blanks and control characters).
std::string_view stripBlanks(std::string_view bytes);
// The bytes before the first NUL.
std::string_view untilNul(std::string_view bytes);

// A decimal integer with an optional sign; nothing when the text is not one or overflows.
std::optional<qint64> parseInteger(std::string_view text);
// Floating-point text: the first "." is the decimal point; a text without "." may use ",".
// Text that does not parse gives 0.
double parseFloatText(std::string_view text);

// A calendar date read from D text; valid() is false for month 13, 31 February or year 0.
struct DateParts {
    int year = 0;
    int month = 1;
    int day = 1;
    bool valid() const;
};
// currentYear places one- and two-digit years in the century window around it.
DateParts parseDateText(std::string_view stripped, int currentYear);
int centuryWindow(int year, int currentYear);

inline quint32 bigEndian32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) << 24 | quint32(u[1]) << 16 | quint32(u[2]) << 8 | quint32(u[3]);
}
inline quint64 bigEndian64(const char* p) {
    return quint64(bigEndian32(p)) << 32 | bigEndian32(p + 4);
}
inline quint32 littleEndian32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[3]) << 24 | quint32(u[2]) << 16 | quint32(u[1]) << 8 | quint32(u[0]);
}
inline quint64 littleEndian64(const char* p) {
    return quint64(littleEndian32(p + 4)) << 32 | littleEndian32(p);
}
inline quint16 littleEndian16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint16(u[1] << 8 | u[0]);
}
inline quint16 bigEndian16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint16(u[0] << 8 | u[1]);
}

// dBase O: sign-ordered big-endian double; nothing when all bytes are zero.
std::optional<double> decodeOrderedDouble(const char* p);
// dBase I and +: big-endian with the top bit inverted; nothing when all bytes are zero.
std::optional<qint32> decodeFlippedInt(const char* p);

} // namespace svod::dbf

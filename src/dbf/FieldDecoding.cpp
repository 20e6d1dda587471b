#include "dbf/FieldDecoding.h"

#include <QDate>
#include <bit>
#include <charconv>
#include <limits>

namespace svod::dbf {

std::string_view stripBlanks(std::string_view bytes) {
    size_t begin = 0;
    size_t end = bytes.size();
    while (begin < end && static_cast<unsigned char>(bytes[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(bytes[end - 1]) <= 0x20)
        --end;
    return bytes.substr(begin, end - begin);
}

std::string_view untilNul(std::string_view bytes) {
    const size_t nul = bytes.find('\0');
    return nul == std::string_view::npos ? bytes : bytes.substr(0, nul);
}

std::optional<qint64> parseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    quint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (value > (quint64(std::numeric_limits<qint64>::max()) + 1 - quint64(c - '0')) / 10)
            return std::nullopt;
        value = value * 10 + quint64(c - '0');
    }
    if (!negative && value > quint64(std::numeric_limits<qint64>::max()))
        return std::nullopt;
    return negative ? qint64(0 - value) : qint64(value);
}

double parseFloatText(std::string_view text) {
    // Rebuilt as "[-]digits.digitsE[-]digits" for from_chars after checking the grammar
    // ourselves: from_chars alone would accept "inf", "nan" and hexadecimal forms.
    const char point = text.find('.') != std::string_view::npos ? '.' : ',';
    char buffer[80];
    size_t out = 0;
    size_t i = 0;
    if (text.size() > 64)
        return 0.0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            buffer[out++] = '-';
        ++i;
    }
    int digits = 0;
    buffer[out++] = '0';
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        buffer[out++] = text[i++];
        ++digits;
    }
    if (i < text.size() && text[i] == point) {
        ++i;
        buffer[out++] = '.';
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            buffer[out++] = text[i++];
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        buffer[out++] = 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            buffer[out++] = text[i++];
        int expDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            buffer[out++] = text[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            return 0.0;
    }
    if (i != text.size())
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(buffer, buffer + out, value);
    if (result.ec != std::errc() || result.ptr != buffer + out)
        return 0.0;
    return value;
}

bool DateParts::valid() const {
    return year >= 1 && year <= 9999 && QDate::isValid(year, month, day);
}

int centuryWindow(int year, int currentYear) {
    const int pivot = currentYear - 50;
    // Pascal div truncates toward zero, as C++ does.
    int result = year + 100 * (pivot / 100);
    if (result < pivot)
        result += 100;
    return result;
}

namespace {
// Month and day: missing, not a number or 00 count as 1.
int datePart(std::string_view text, size_t from) {
    if (text.size() <= from)
        return 1;
    const auto value = parseInteger(stripBlanks(text.substr(from, 2)));
    return !value || *value == 0 ? 1 : int(*value);
}
} // namespace

DateParts parseDateText(std::string_view stripped, int currentYear) {
    DateParts parts;
    const std::string_view yearText = stripped.substr(0, 4);
    const auto year = parseInteger(stripBlanks(yearText));
    parts.year = year && *year > -100000 && *year < 100000 ? int(*year) : 0;
    const size_t yearLength = stripBlanks(yearText).size();
    if (parts.year < 100 && (yearLength == 1 || yearLength == 2))
        parts.year = centuryWindow(parts.year, currentYear);
    parts.month = datePart(stripped, 4);
    parts.day = datePart(stripped, 6);
    return parts;
}

std::optional<double> decodeOrderedDouble(const char* p) {
    quint64 bits = bigEndian64(p);
    if (bits == 0)
        return std::nullopt;
    constexpr quint64 top = quint64(1) << 63;
    bits = (bits & top) ? (bits & ~top) : ~bits;
    return std::bit_cast<double>(bits);
}

std::optional<qint32> decodeFlippedInt(const char* p) {
    const quint32 bits = bigEndian32(p);
    if (bits == 0)
        return std::nullopt;
    return std::bit_cast<qint32>(bits ^ 0x80000000u);
}

} // namespace svod::dbf

#include "dbf/FieldDecoding.h"

#include <QDate>
#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
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
    // Fields are short: a plain loop beats a library call here.
    for (size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\0')
            return bytes.substr(0, i);
    return bytes;
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

namespace {
constexpr double PowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// "[-]digits[.digits]" with at most 15 digits in one pass: an exact integer divided by an exact
// power of ten is correctly rounded. Anything else goes the general way.
std::optional<double> parseShortDecimal(std::string_view text) {
    size_t k = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        k = 1;
    }
    qint64 mantissa = 0;
    int digits = 0;
    int fraction = -1;
    for (; k < text.size(); ++k) {
        const char c = text[k];
        if (c >= '0' && c <= '9') {
            if (++digits > 15)
                return std::nullopt;
            mantissa = mantissa * 10 + (c - '0');
            if (fraction >= 0)
                ++fraction;
        } else if ((c == '.' || c == ',') && fraction < 0) {
            fraction = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    const double value = double(mantissa) / PowersOfTen[std::max(fraction, 0)];
    return negative ? -value : value;
}
} // namespace

double parseFloatText(std::string_view text) {
    if (const auto value = parseShortDecimal(text))
        return *value;
    // Rebuilt as "[-]digits.digitsE[-]digits" for from_chars after checking the grammar
    // ourselves: from_chars alone would accept "inf", "nan" and hexadecimal forms.
    char point = ',';
    for (const char c : text)
        if (c == '.') {
            point = '.';
            break;
        }
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
    const bool exponent = i < text.size() && (text[i] == 'e' || text[i] == 'E');
    if (exponent) {
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
    // The usual YYYYMMDD.
    if (stripped.size() == 8 &&
        std::all_of(stripped.begin(), stripped.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        auto number = [&](size_t from, size_t length) {
            int value = 0;
            for (size_t k = from; k < from + length; ++k)
                value = value * 10 + (stripped[k] - '0');
            return value;
        };
        parts.year = number(0, 4);
        parts.month = number(4, 2);
        parts.day = number(6, 2);
        if (parts.month == 0)
            parts.month = 1;
        if (parts.day == 0)
            parts.day = 1;
        return parts;
    }
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

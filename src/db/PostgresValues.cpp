#include "db/PostgresValues.h"

#include <QDateTime>
#include <QtEndian>
#include <charconv>
#include <cmath>
#include <cstring>

#include "db/Error.h"

namespace svod::db::pgvalues {

namespace {

// Days from the Julian day 0 to 2000-01-01, the server's epoch of dates and timestamps.
constexpr qint64 EpochJulianDay = 2451545;
constexpr qint64 MicrosPerDay = 86400LL * 1000000LL;
// The server's timestamp range: 4713 BC to 294276 AD, as Julian days.
constexpr qint64 LastTimestampJulianDay = 109203489;

void appendNumber(QByteArray& out, auto value) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

// yyyy-MM-dd without a formatted string per row: a packet has a date in every balance row.
void appendDate(QByteArray& out, const QDate& date) {
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    if (y < 1 || y > 9999) {
        out.append(date.toString(Qt::ISODate).toLatin1());
        return;
    }
    const char text[10] = {char('0' + y / 1000),
                           char('0' + y / 100 % 10),
                           char('0' + y / 10 % 10),
                           char('0' + y % 10),
                           '-',
                           char('0' + m / 10),
                           char('0' + m % 10),
                           '-',
                           char('0' + d / 10),
                           char('0' + d % 10)};
    out.append(text, sizeof text);
}

template <typename T> void appendBig(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    out.append(bytes, sizeof bytes);
}

bool isInteger(int type) {
    return type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt ||
           type == QMetaType::ULongLong;
}

[[noreturn]] void outOfRange(const QVariant& value, const char* type) {
    throw DbError(QStringLiteral("value \"%1\" is out of range for type %2")
                      .arg(value.toString(), QLatin1String(type)));
}

void appendInteger(QByteArray& out, const QVariant& value, int bytes) {
    const bool isUnsigned = value.metaType().id() == QMetaType::ULongLong;
    const qint64 number = value.toLongLong();
    const qint64 limit = bytes == 2 ? 32767 : bytes == 4 ? 2147483647LL : INT64_MAX;
    if ((isUnsigned && value.toULongLong() > quint64(INT64_MAX)) || number > limit || number < -limit - 1)
        outOfRange(value, bytes == 2 ? "smallint" : bytes == 4 ? "integer" : "bigint");
    appendBig<qint32>(out, bytes);
    if (bytes == 2)
        appendBig<qint16>(out, qint16(number));
    else if (bytes == 4)
        appendBig<qint32>(out, qint32(number));
    else
        appendBig<qint64>(out, number);
}

void appendTimestamp(QByteArray& out, const QDate& date, qint64 msecsOfDay) {
    const qint64 day = date.toJulianDay();
    if (day < 0 || day > LastTimestampJulianDay)
        throw DbError(QStringLiteral("timestamp out of range: \"%1\"").arg(date.toString(Qt::ISODate)));
    appendBig<qint32>(out, 8);
    appendBig<qint64>(out, (day - EpochJulianDay) * MicrosPerDay + msecsOfDay * 1000);
}

void appendNumericField(QByteArray& out, const QVariant& value) {
    char text[32];
    char* end = text;
    if (value.metaType().id() == QMetaType::Double) {
        const double number = value.toDouble();
        if (std::isnan(number) || std::isinf(number)) {
            // NaN, +Infinity, -Infinity: no digits, the sign field says which.
            appendBig<qint32>(out, 8);
            appendBig<quint16>(out, 0);
            appendBig<qint16>(out, 0);
            appendBig<quint16>(out, std::isnan(number) ? 0xC000 : number > 0 ? 0xD000 : 0xF000);
            appendBig<quint16>(out, 0);
            return;
        }
        end = std::to_chars(text, text + sizeof text, number).ptr; // the digits the text format sends
    } else if (value.metaType().id() == QMetaType::ULongLong) {
        end = std::to_chars(text, text + sizeof text, value.toULongLong()).ptr;
    } else {
        end = std::to_chars(text, text + sizeof text, value.toLongLong()).ptr;
    }
    const qsizetype lengthAt = out.size();
    appendBig<qint32>(out, 0);
    if (!appendNumeric(out, text, end - text))
        throw DbError(QStringLiteral("invalid input syntax for type numeric: \"%1\"")
                          .arg(QString::fromLatin1(text, end - text)));
    qToBigEndian(qint32(out.size() - lengthAt - 4), out.data() + lengthAt);
}

} // namespace

ColumnType columnTypeOf(unsigned oid) {
    switch (oid) {
    case 25:   // text
    case 1042: // bpchar
    case 1043: // varchar
        return ColumnType::Text;
    case 1700:
        return ColumnType::Numeric;
    case 1114:
        return ColumnType::Timestamp;
    case 1082:
        return ColumnType::Date;
    case 21:
        return ColumnType::Int2;
    case 23:
        return ColumnType::Int4;
    case 20:
        return ColumnType::Int8;
    case 701:
        return ColumnType::Float8;
    case 16:
        return ColumnType::Bool;
    case 17:
        return ColumnType::Bytea;
    default:
        return ColumnType::Other;
    }
}

void appendPlainText(QByteArray& out, const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        appendNumber(out, value.toLongLong());
        break;
    case QMetaType::ULongLong:
        appendNumber(out, value.toULongLong());
        break;
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (std::isnan(number))
            out.append("NaN");
        else if (std::isinf(number))
            out.append(number > 0 ? "Infinity" : "-Infinity");
        else
            appendNumber(out, number); // the shortest text that reads back the same double
        break;
    }
    case QMetaType::Bool:
        out.append(value.toBool() ? "true" : "false");
        break;
    case QMetaType::QDate:
        appendDate(out, *static_cast<const QDate*>(value.constData()));
        break;
    case QMetaType::QDateTime:
        out.append(value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1());
        break;
    case QMetaType::QByteArray:
        out.append("\\x");
        out.append(value.toByteArray().toHex());
        break;
    default:
        out.append(value.toString().toUtf8());
        break;
    }
}

bool binaryFits(ColumnType column, const QVariant& value) {
    const int type = value.metaType().id();
    switch (column) {
    case ColumnType::Text:
        return true;
    case ColumnType::Numeric:
        return isInteger(type) || type == QMetaType::Double;
    case ColumnType::Timestamp:
        return type == QMetaType::QDate || type == QMetaType::QDateTime;
    case ColumnType::Date:
        return type == QMetaType::QDate;
    case ColumnType::Int2:
    case ColumnType::Int4:
    case ColumnType::Int8:
        return isInteger(type);
    case ColumnType::Float8:
        return isInteger(type) || type == QMetaType::Double;
    case ColumnType::Bool:
        return type == QMetaType::Bool;
    case ColumnType::Bytea:
        return type == QMetaType::QByteArray;
    case ColumnType::Other:
        return false;
    }
    return false;
}

void appendBinaryField(QByteArray& out, ColumnType column, const QVariant& value) {
    switch (column) {
    case ColumnType::Text: {
        QByteArray text;
        if (value.metaType().id() == QMetaType::QString)
            text = static_cast<const QString*>(value.constData())->toUtf8();
        else
            appendPlainText(text, value);
        appendBig<qint32>(out, qint32(text.size()));
        out.append(text);
        break;
    }
    case ColumnType::Numeric:
        appendNumericField(out, value);
        break;
    case ColumnType::Timestamp:
        if (value.metaType().id() == QMetaType::QDateTime) {
            const QDateTime moment = value.toDateTime();
            appendTimestamp(out, moment.date(), moment.time().msecsSinceStartOfDay());
        } else {
            appendTimestamp(out, *static_cast<const QDate*>(value.constData()), 0);
        }
        break;
    case ColumnType::Date: {
        const qint64 day = static_cast<const QDate*>(value.constData())->toJulianDay();
        if (day < 0 || day > LastTimestampJulianDay)
            throw DbError(
                QStringLiteral("date out of range: \"%1\"").arg(value.toDate().toString(Qt::ISODate)));
        appendBig<qint32>(out, 4);
        appendBig<qint32>(out, qint32(day - EpochJulianDay));
        break;
    }
    case ColumnType::Int2:
        appendInteger(out, value, 2);
        break;
    case ColumnType::Int4:
        appendInteger(out, value, 4);
        break;
    case ColumnType::Int8:
        appendInteger(out, value, 8);
        break;
    case ColumnType::Float8: {
        const double number = value.toDouble();
        quint64 bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        appendBig<qint32>(out, 8);
        appendBig<quint64>(out, bits);
        break;
    }
    case ColumnType::Bool:
        appendBig<qint32>(out, 1);
        out.append(value.toBool() ? '\1' : '\0');
        break;
    case ColumnType::Bytea: {
        const QByteArray bytes = value.toByteArray();
        appendBig<qint32>(out, qint32(bytes.size()));
        out.append(bytes);
        break;
    }
    case ColumnType::Other:
        throw DbError(QStringLiteral("no binary form for this column"));
    }
}

bool appendNumeric(QByteArray& out, const char* text, qsizetype size) {
    qsizetype i = 0;
    bool negative = false;
    if (i < size && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    // Enough for any number in its shortest text; longer texts are not taken.
    constexpr qint64 MaxDigits = 40;
    int digits[MaxDigits];
    qint64 count = 0;
    qint64 pointAt = -1;
    for (; i < size; ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            if (count == MaxDigits)
                return false;
            digits[count++] = text[i] - '0';
        } else if (text[i] == '.' && pointAt < 0) {
            pointAt = count;
        } else {
            break;
        }
    }
    if (count == 0)
        return false;
    qint64 intDigits = pointAt < 0 ? count : pointAt;
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        int exponent = 0;
        const char* from = text + i + 1;
        if (from < text + size && *from == '+')
            ++from;
        const auto [end, error] = std::from_chars(from, text + size, exponent);
        if (error != std::errc() || exponent > 1000 || exponent < -1000)
            return false;
        intDigits += exponent;
        i = end - text;
    }
    if (i != size)
        return false;
    const qint64 scale = std::max<qint64>(0, count - intDigits);
    // Decimal digit k stands for 10^(intDigits - 1 - k); base-10000 digit g holds the powers 4g..4g+3.
    const auto group = [](qint64 power) { return power >= 0 ? power / 4 : -((-power + 3) / 4); };
    const qint64 top = group(intDigits - 1);
    const qint64 bottom = group(intDigits - count);
    int groups[MaxDigits / 4 + 2] = {};
    static constexpr int Power[4] = {1, 10, 100, 1000};
    for (qint64 k = 0; k < count; ++k) {
        const qint64 power = intDigits - 1 - k;
        const qint64 g = group(power);
        groups[top - g] += digits[k] * Power[power - 4 * g];
    }
    std::size_t first = 0, last = std::size_t(top - bottom + 1);
    while (first < last && groups[first] == 0)
        ++first;
    while (last > first && groups[last - 1] == 0)
        --last;
    const qint64 weight = first < last ? top - qint64(first) : 0;
    appendBig<qint16>(out, qint16(last - first));
    appendBig<qint16>(out, qint16(weight));
    appendBig<quint16>(out, negative && first < last ? 0x4000 : 0x0000);
    appendBig<quint16>(out, quint16(scale));
    for (std::size_t g = first; g < last; ++g)
        appendBig<qint16>(out, qint16(groups[g]));
    return true;
}

} // namespace svod::db::pgvalues

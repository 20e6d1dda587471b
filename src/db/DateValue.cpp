#include "db/DateValue.h"

#include <cmath>

namespace svod {

QDate dateEpoch() {
    return QDate(1899, 12, 30);
}

namespace {
constexpr qint64 MsPerDay = 86'400'000;
}

DateValue DateValue::fromDate(const QDate& date) {
    if (!date.isValid())
        return DateValue();
    return DateValue(static_cast<double>(dateEpoch().daysTo(date)));
}

DateValue DateValue::fromDateTime(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        return DateValue();
    const double whole = static_cast<double>(dateEpoch().daysTo(dateTime.date()));
    const double fraction = static_cast<double>(dateTime.time().msecsSinceStartOfDay()) / MsPerDay;
    return DateValue(whole + fraction);
}

DateValue DateValue::fromVariant(const QVariant& value) {
    if (value.isNull() || !value.isValid())
        return DateValue();
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return fromDate(value.toDate());
    case QMetaType::QDateTime:
        return fromDateTime(value.toDateTime());
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
        return DateValue(value.toDouble());
    default:
        break;
    }
    const QString text = value.toString().trimmed();
    QDateTime parsed = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!parsed.isValid())
        parsed = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!parsed.isValid())
        parsed = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (parsed.isValid())
        return fromDateTime(parsed);
    const QDate date = QDate::fromString(text, Qt::ISODate);
    return fromDate(date);
}

QDate DateValue::date() const {
    return dateEpoch().addDays(static_cast<qint64>(std::floor(days_)));
}

QDateTime DateValue::dateTime() const {
    const double whole = std::floor(days_);
    const auto ms = static_cast<int>(std::llround((days_ - whole) * MsPerDay));
    QDateTime result(date(), QTime(0, 0));
    return result.addMSecs(ms);
}

DateValue DateValue::dayOnly() const {
    return DateValue(std::floor(days_));
}

} // namespace svod

#pragma once

#include <QDate>
#include <QDateTime>
#include <QVariant>
#include <compare>

namespace svod {

// A date-time as days since 30.12.1899 with the time of day as fraction, the scale the
// reception state and the packet files use. Two sentinels carry meaning:
// 1.0 (31.12.1899) means "no such date", 767357.0 (12.12.4000) starts every minimum search.
class DateValue {
public:
    static constexpr double NoDateDays = 1.0;
    static constexpr double FarFutureDays = 767357.0;

    constexpr DateValue() = default;
    constexpr explicit DateValue(double days) : days_(days) {}

    static constexpr DateValue noDate() { return DateValue(NoDateDays); }
    static constexpr DateValue farFuture() { return DateValue(FarFutureDays); }
    static DateValue fromDate(const QDate& date);
    static DateValue fromDateTime(const QDateTime& dateTime);
    static DateValue fromYmd(int year, int month, int day) { return fromDate(QDate(year, month, day)); }
    // QDate, QDateTime, a number of days, or ISO text ("YYYY-MM-DD[ HH:MM:SS]"); NULL gives day 0.
    static DateValue fromVariant(const QVariant& value);

    constexpr double days() const { return days_; }
    // A selection date counts as present when it is after the "no date" sentinel.
    constexpr bool isPresent() const { return days_ > NoDateDays; }
    QDate date() const;
    QDateTime dateTime() const;
    DateValue addDays(int days) const { return DateValue(days_ + days); }
    // The same day at midnight.
    DateValue dayOnly() const;

    constexpr auto operator<=>(const DateValue&) const = default;

private:
    double days_ = 0.0;
};

// The day every date-time number counts from.
QDate dateEpoch();

} // namespace svod

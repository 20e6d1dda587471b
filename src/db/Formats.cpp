#include "db/Formats.h"

#include <cmath>

namespace svod {

QString formatDate(const QDate& date) {
    return date.toString(formats::ShortDate);
}

QString formatDate(const DateValue& value) {
    return formatDate(value.date());
}

QString formatDateTime(const DateValue& value) {
    const QDateTime dt = value.dateTime();
    if (dt.time() == QTime(0, 0))
        return formatDate(dt.date());
    return formatDate(dt.date()) + u' ' + dt.time().toString(formats::ShortTime);
}

QString formatNumber(double value) {
    if (value == 0.0)
        return QStringLiteral("0");
    QString text = QString::number(value, 'g', 15);
    text.replace(u'.', formats::DecimalSeparator);
    return text;
}

QString formatFixed(double value, int decimals) {
    // Avoid "-0,00" for values that round to zero.
    const double scale = std::pow(10.0, decimals);
    if (std::llround(value * scale) == 0)
        value = 0.0;
    QString text = QString::number(value, 'f', decimals);
    text.replace(u'.', formats::DecimalSeparator);
    return text;
}

} // namespace svod

#include "db/SqlHelpers.h"

#include <QDir>
#include <array>

namespace svod {

QString NormalDir(const QString& dir, QChar separator) {
    if (dir.isEmpty())
        return dir;
    const QChar last = dir.back();
    if (last == separator || (separator == u'\\' && last == u':'))
        return dir;
    if (separator == u'\\' && dir.size() == 1) {
        const QChar letter = dir.front().toUpper();
        if (letter >= u'A' && letter <= u'Z')
            return dir + QStringLiteral(":\\");
    }
    return dir + separator;
}

QString NormalDir(const QString& dir) {
#ifdef Q_OS_WIN
    return NormalDir(dir, u'\\');
#else
    return NormalDir(dir, u'/');
#endif
}

QString DateToServer(const DateValue& date) {
    return QStringLiteral("CONVERT(DATETIME,'") + date.date().toString(QStringLiteral("dd.MM.yyyy")) +
           QStringLiteral("',104)");
}

const QString& monthNameGenitive(int month) {
    static const std::array<QString, 12> names = {
        QStringLiteral("января"),  QStringLiteral("февраля"), QStringLiteral("марта"),
        QStringLiteral("апреля"),  QStringLiteral("мая"),     QStringLiteral("июня"),
        QStringLiteral("июля"),    QStringLiteral("августа"), QStringLiteral("сентября"),
        QStringLiteral("октября"), QStringLiteral("ноября"),  QStringLiteral("декабря")};
    static const QString none;
    if (month < 1 || month > 12)
        return none;
    return names[static_cast<size_t>(month - 1)];
}

QString MonthAndYear(const DateValue& date) {
    const QDate d = date.date();
    return monthNameGenitive(d.month()) + u' ' + QString::number(d.year());
}

QString sqlQuote(const QString& value) {
    QString text = value;
    text.replace(u'\'', QStringLiteral("''"));
    return u'\'' + text + u'\'';
}

} // namespace svod

#include "directory/TableValues.h"

#include <QDateTime>

#include "db/DateValue.h"
#include "db/Error.h"
#include "db/Formats.h"

namespace svod::directory {

QString displayText(const QVariant& value) {
    if (value.isNull() || !value.isValid())
        return {};
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return formatDateTime(DateValue::fromDateTime(value.toDateTime()));
    case QMetaType::QDate:
        return formatDate(value.toDate());
    case QMetaType::Double:
    case QMetaType::Float:
        return formatNumber(value.toDouble());
    default:
        return value.toString();
    }
}

namespace {
QVariant parseDate(const QString& text) {
    static const QStringList formats = {
        QStringLiteral("dd.MM.yyyy"),          QStringLiteral("d.M.yyyy"),
        QStringLiteral("dd.MM.yyyy HH:mm:ss"), QStringLiteral("dd.MM.yyyy HH.mm.ss"),
        QStringLiteral("dd.MM.yyyy HH:mm"),    QStringLiteral("yyyy-MM-dd"),
        QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-ddTHH:mm:ss")};
    for (const QString& format : formats) {
        const QDateTime dt = QDateTime::fromString(text, format);
        if (dt.isValid())
            return dt;
        const QDate d = QDate::fromString(text, format);
        if (d.isValid())
            return QDateTime(d, QTime(0, 0));
    }
    throw Error(u'\'' + text + QStringLiteral("' - неправильная дата"));
}
} // namespace

QVariant parseValue(const QString& typed, ValueKind kind) {
    const QString text = kind == ValueKind::Text ? typed : typed.trimmed();
    if (text.isEmpty())
        return {};
    switch (kind) {
    case ValueKind::Text:
        return text;
    case ValueKind::Date:
        return parseDate(text);
    case ValueKind::Number: {
        QString normal = text;
        normal.replace(u',', u'.');
        bool ok = false;
        const double number = normal.toDouble(&ok);
        if (!ok)
            throw Error(u'\'' + text + QStringLiteral("' - неправильное число"));
        return number;
    }
    case ValueKind::Integer: {
        bool ok = false;
        const qlonglong number = text.toLongLong(&ok);
        if (!ok)
            throw Error(u'\'' + text + QStringLiteral("' - неправильное целое число"));
        return number;
    }
    }
    return text;
}

ValueKind kindOf(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return ValueKind::Date;
    case QMetaType::Double:
    case QMetaType::Float:
        return ValueKind::Number;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return ValueKind::Integer;
    default:
        return ValueKind::Text;
    }
}

} // namespace svod::directory

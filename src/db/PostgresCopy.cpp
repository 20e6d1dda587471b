#include "db/PostgresCopy.h"

#include <QDateTime>
#include <charconv>
#include <cmath>
#include <libpq-fe.h>
#include <memory>

#include "db/Error.h"

namespace svod::db {

namespace {
struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

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
} // namespace

PostgresCopy::PostgresCopy(PGconn* handle, const QString& table, const QStringList& columns)
    : connection_(handle), command_((QStringLiteral("copy ") + table + QStringLiteral(" (") +
                                     columns.join(u',') + QStringLiteral(") from stdin"))
                                        .toUtf8()),
      columns_(int(columns.size())) {}

PostgresCopy::~PostgresCopy() {
    if (!copying_)
        return;
    // Not finished (an error or a cancel on the way): the server drops the rows of this COPY.
    if (PQputCopyEnd(connection_, "abandoned") == 1)
        drainResults();
}

void PostgresCopy::fail() {
    // As the Qt driver words a failed statement: the server's message and the SQLSTATE.
    QString message = QString::fromUtf8(PQerrorMessage(connection_));
    buffer_.clear();
    rows_ = 0;
    next_ = 0;
    if (copying_) {
        copying_ = false;
        if (PQputCopyEnd(connection_, "abandoned") == 1)
            drainResults();
    }
    throw DbError(message.trimmed());
}

QString PostgresCopy::drainResults() {
    QString message;
    while (Result result{PQgetResult(connection_)}) {
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && message.isEmpty())
            message = QString::fromUtf8(PQresultErrorMessage(result.get())).trimmed();
    }
    return message;
}

void PostgresCopy::appendEscaped(const char* data, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        switch (c) {
        case '\\':
            buffer_.append("\\\\", 2);
            break;
        case '\t':
            buffer_.append("\\t", 2);
            break;
        case '\n':
            buffer_.append("\\n", 2);
            break;
        case '\r':
            buffer_.append("\\r", 2);
            break;
        default:
            buffer_.append(c);
        }
    }
}

void PostgresCopy::appendText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    appendEscaped(utf8.constData(), utf8.size());
}

void PostgresCopy::add(const QVariant& value) {
    if (next_ >= columns_)
        throw Error(QStringLiteral("Лишнее значение в строке вставки"));
    if (next_++ > 0)
        buffer_.append('\t');
    if (isNullValue(value)) {
        buffer_.append("\\N", 2);
        return;
    }
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        appendNumber(buffer_, value.toLongLong());
        break;
    case QMetaType::ULongLong:
        appendNumber(buffer_, value.toULongLong());
        break;
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (std::isnan(number))
            buffer_.append("NaN");
        else if (std::isinf(number))
            buffer_.append(number > 0 ? "Infinity" : "-Infinity");
        else
            appendNumber(buffer_, number); // the shortest text that reads back the same double
        break;
    }
    case QMetaType::Bool:
        buffer_.append(value.toBool() ? "true" : "false");
        break;
    case QMetaType::QDate:
        appendDate(buffer_, *static_cast<const QDate*>(value.constData()));
        break;
    case QMetaType::QDateTime:
        buffer_.append(value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1());
        break;
    case QMetaType::QByteArray:
        // bytea in hex; the backslash doubled for the copy text
        buffer_.append("\\\\x");
        buffer_.append(value.toByteArray().toHex());
        break;
    case QMetaType::QString:
        appendText(*static_cast<const QString*>(value.constData()));
        break;
    default:
        appendText(value.toString());
        break;
    }
}

void PostgresCopy::endRow() {
    if (next_ != columns_)
        throw Error(QStringLiteral("Неполная строка вставки"));
    next_ = 0;
    buffer_.append('\n');
    ++rows_;
}

void PostgresCopy::flush() {
    if (rows_ == 0)
        return;
    if (!copying_) {
        const Result start(PQexec(connection_, command_.constData()));
        if (PQresultStatus(start.get()) != PGRES_COPY_IN)
            fail();
        copying_ = true;
    }
    if (PQputCopyData(connection_, buffer_.constData(), int(buffer_.size())) != 1)
        fail();
    buffer_.clear();
    rows_ = 0;
}

void PostgresCopy::finish() {
    flush();
    if (!copying_)
        return;
    copying_ = false;
    if (PQputCopyEnd(connection_, nullptr) != 1)
        fail();
    const QString message = drainResults();
    if (!message.isEmpty())
        throw DbError(message);
}

} // namespace svod::db

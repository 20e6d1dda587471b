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
} // namespace

PostgresCopy::PostgresCopy(PGconn* handle, const QString& table, const QStringList& columns)
    : conn_(handle), command_((QStringLiteral("copy ") + table + QStringLiteral(" (") + columns.join(u',') +
                               QStringLiteral(") from stdin"))
                                  .toUtf8()),
      columns_(int(columns.size())) {}

void PostgresCopy::fail() {
    // As the Qt driver words a failed statement: the server's message and the SQLSTATE.
    QString message = QString::fromUtf8(PQerrorMessage(conn_));
    buffer_.clear();
    rows_ = 0;
    next_ = 0;
    throw DbError(message.trimmed());
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
        buffer_.append(value.toDate().toString(Qt::ISODate).toLatin1());
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
    Result start(PQexec(conn_, command_.constData()));
    if (PQresultStatus(start.get()) != PGRES_COPY_IN)
        fail();
    if (PQputCopyData(conn_, buffer_.constData(), int(buffer_.size())) != 1 ||
        PQputCopyEnd(conn_, nullptr) != 1)
        fail();
    bool failed = false;
    QString message;
    while (Result result{PQgetResult(conn_)}) {
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && !failed) {
            failed = true;
            message = QString::fromUtf8(PQresultErrorMessage(result.get())).trimmed();
        }
    }
    if (failed) {
        buffer_.clear();
        rows_ = 0;
        throw DbError(message);
    }
    buffer_.clear();
    rows_ = 0;
}

} // namespace svod::db

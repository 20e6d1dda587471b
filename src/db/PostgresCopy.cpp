#include "db/PostgresCopy.h"

#include <QHash>
#include <QRegularExpression>
#include <QtEndian>
#include <cstdlib>
#include <libpq-fe.h>
#include <memory>

#include "db/Error.h"
#include "db/PostgresValues.h"

namespace svod::db {

namespace {
struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// The types of the table's columns in the order given; empty when any is unknown.
std::vector<pgvalues::ColumnType> columnTypes(PGconn* connection, const QString& table,
                                              const QStringList& columns) {
    // Only plain names: a malformed one would make to_regclass fail and abort the transaction.
    static const QRegularExpression plainName(
        QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*(\\.[A-Za-z_][A-Za-z0-9_]*)?$"));
    if (!plainName.match(table).hasMatch())
        return {};
    const QByteArray name = table.toUtf8();
    const char* values[1] = {name.constData()};
    const Result result(
        PQexecParams(connection,
                     "select a.attname::text, a.atttypid::int8 from pg_attribute a "
                     "where a.attrelid = to_regclass($1) and a.attnum > 0 and not a.attisdropped",
                     1, nullptr, values, nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        return {};
    QHash<QString, unsigned> oids;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        oids.insert(QString::fromUtf8(PQgetvalue(result.get(), row, 0)),
                    unsigned(std::strtoul(PQgetvalue(result.get(), row, 1), nullptr, 10)));
    std::vector<pgvalues::ColumnType> types;
    for (const QString& column : columns) {
        const auto found = oids.constFind(column.toLower());
        if (found == oids.cend() || pgvalues::columnTypeOf(*found) == pgvalues::ColumnType::Other)
            return {};
        types.push_back(pgvalues::columnTypeOf(*found));
    }
    return types;
}

template <typename T> void appendBig(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    out.append(bytes, sizeof bytes);
}
} // namespace

PostgresCopy::PostgresCopy(PGconn* handle, const QString& table, const QStringList& columns)
    : connection_(handle), command_((QStringLiteral("copy ") + table + QStringLiteral(" (") +
                                     columns.join(u',') + QStringLiteral(") from stdin"))
                                        .toUtf8()),
      columns_(int(columns.size())), types_(columnTypes(handle, table, columns)) {}

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
    pending_.clear();
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
    switch (format_) {
    case Format::Undecided:
        pending_.push_back(value);
        break;
    case Format::Text:
        addText(value);
        break;
    case Format::Binary:
        addBinary(value);
        break;
    }
    ++next_;
}

void PostgresCopy::addText(const QVariant& value) {
    if (next_ > 0)
        buffer_.append('\t');
    if (isNullValue(value)) {
        buffer_.append("\\N", 2);
        return;
    }
    switch (value.metaType().id()) {
    case QMetaType::QString:
        appendText(*static_cast<const QString*>(value.constData()));
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        pgvalues::appendPlainText(buffer_, value); // nothing to escape
        break;
    case QMetaType::QByteArray:
        // bytea in hex; the backslash doubled for the copy text
        buffer_.append("\\\\x");
        buffer_.append(value.toByteArray().toHex());
        break;
    default:
        appendText(value.toString());
        break;
    }
}

void PostgresCopy::addBinary(const QVariant& value) {
    const bool null = isNullValue(value);
    const pgvalues::ColumnType type = types_[std::size_t(next_)];
    if (!null && !pgvalues::binaryFits(type, value)) {
        switchToText();
        addText(value);
        return;
    }
    if (next_ == 0) {
        rowStart_ = buffer_.size();
        row_.clear();
        appendBig<qint16>(buffer_, qint16(columns_));
    }
    row_.push_back(value);
    if (null)
        appendBig<qint32>(buffer_, -1);
    else
        pgvalues::appendBinaryField(buffer_, type, value);
}

// A value the binary form cannot carry after a first batch that fitted (a column whose values were
// all NULL until then): the complete rows end the binary COPY, the rest follows in the text format
// in the same transaction.
void PostgresCopy::switchToText() {
    std::vector<QVariant> row = std::move(row_);
    row_.clear();
    row.resize(std::size_t(next_));
    buffer_.truncate(next_ > 0 ? rowStart_ : buffer_.size());
    flush();
    endCopy();
    buffer_.clear();
    format_ = Format::Text;
    next_ = 0;
    for (const QVariant& value : row) {
        addText(value);
        ++next_;
    }
}

// The first batch decides: the binary format when every value of it goes into its column without
// the server parsing text (a packet's columns keep their kinds from row to row), the text format
// otherwise.
void PostgresCopy::chooseFormat() {
    bool binary = types_.size() == std::size_t(columns_);
    for (std::size_t i = 0; binary && i < pending_.size(); ++i)
        binary =
            isNullValue(pending_[i]) || pgvalues::binaryFits(types_[i % std::size_t(columns_)], pending_[i]);
    format_ = binary ? Format::Binary : Format::Text;
    if (binary) {
        static const char header[] = "PGCOPY\n\377\r\n\0\0\0\0\0\0\0\0\0";
        buffer_.append(header, sizeof header - 1);
    }
    std::vector<QVariant> values = std::move(pending_);
    pending_.clear();
    next_ = 0;
    for (const QVariant& value : values) {
        binary ? addBinary(value) : addText(value);
        if (++next_ == columns_) {
            next_ = 0;
            if (!binary)
                buffer_.append('\n');
        }
    }
}

void PostgresCopy::endRow() {
    if (next_ != columns_)
        throw Error(QStringLiteral("Неполная строка вставки"));
    next_ = 0;
    if (format_ == Format::Text)
        buffer_.append('\n');
    ++rows_;
}

void PostgresCopy::flush() {
    if (rows_ == 0)
        return;
    if (format_ == Format::Undecided)
        chooseFormat();
    if (!copying_) {
        const QByteArray command =
            format_ == Format::Binary ? command_ + QByteArrayLiteral(" with (format binary)") : command_;
        const Result start(PQexec(connection_, command.constData()));
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
    endCopy();
}

void PostgresCopy::endCopy() {
    if (!copying_)
        return;
    if (format_ == Format::Binary) {
        static const char trailer[] = {'\xff', '\xff'};
        if (PQputCopyData(connection_, trailer, sizeof trailer) != 1)
            fail();
    }
    copying_ = false;
    if (PQputCopyEnd(connection_, nullptr) != 1)
        fail();
    const QString message = drainResults();
    if (!message.isEmpty())
        throw DbError(message);
}

} // namespace svod::db

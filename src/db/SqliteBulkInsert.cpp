#include "db/SqliteBulkInsert.h"

#include <QDateTime>
#include <algorithm>
#include <sqlite3.h>

#include "db/Error.h"

namespace svod::db {

namespace {
// Values per statement stay within SQLite's oldest default limit of 999 parameters.
constexpr int MaxParameters = 999;
// Rows per statement: past a few dozen a longer statement gains nothing.
constexpr int BatchRows = 64;
} // namespace

SqliteBulkInsert::SqliteBulkInsert(sqlite3* handle, const QString& table, const QStringList& columns)
    : db_(handle), table_(table), columns_(columns), columnCount_(int(columns.size())),
      batchRows_(std::clamp(MaxParameters / std::max(1, int(columns.size())), 1, BatchRows)),
      cells_(size_t(batchRows_) * size_t(columns.size())) {
    statementFor(batchRows_); // a wrong table or column fails here, before any row
}

SqliteBulkInsert::~SqliteBulkInsert() {
    for (const auto& [rows, statement] : statements_)
        sqlite3_finalize(statement);
}

sqlite3_stmt* SqliteBulkInsert::statementFor(int rows) {
    if (const auto found = statements_.find(rows); found != statements_.end())
        return found->second;
    const QString values = u'(' + QString(QStringLiteral("?,")).repeated(columnCount_).chopped(1) + u')';
    QString sql = QStringLiteral("insert into ") + table_ + QStringLiteral(" (") + columns_.join(u',') +
                  QStringLiteral(") values ") + values;
    for (int row = 1; row < rows; ++row)
        sql += u',' + values;
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, utf8.constData(), int(utf8.size()), &statement, nullptr) != SQLITE_OK)
        fail(statement);
    statements_.emplace(rows, statement);
    return statement;
}

void SqliteBulkInsert::fail(sqlite3_stmt* statement) {
    const QString message = QString::fromUtf8(sqlite3_errmsg(db_));
    if (statement)
        sqlite3_reset(statement);
    next_ = 0;
    rows_ = 0;
    throw DbError(message);
}

void utf8Into(const QString& text, std::string& bytes) {
    bytes.clear();
    const QChar* chars = text.constData();
    const qsizetype size = text.size();
    qsizetype i = 0;
    for (; i < size && chars[i].unicode() < 0x80; ++i)
        bytes.push_back(char(chars[i].unicode()));
    if (i < size)
        bytes = text.toStdString(); // UTF-8 of the whole text
}

void SqliteBulkInsert::setText(Cell& cell, const QString& text) {
    cell.kind = Cell::Kind::Text;
    utf8Into(text, cell.text);
}

void SqliteBulkInsert::add(const QVariant& value) {
    if (next_ >= columnCount_)
        throw Error(QStringLiteral("Лишнее значение в строке вставки"));
    Cell& cell = cells_[size_t(rows_) * size_t(columnCount_) + size_t(next_++)];
    cell.held.clear();
    if (isNullValue(value)) {
        cell.kind = Cell::Kind::Null;
        return;
    }
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::Bool:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        cell.kind = Cell::Kind::Integer;
        cell.integer = value.toLongLong();
        break;
    case QMetaType::Double:
        cell.kind = Cell::Kind::Double;
        cell.number = value.toDouble();
        break;
    case QMetaType::QByteArray:
        cell.kind = Cell::Kind::Blob;
        cell.held = value;
        break;
    case QMetaType::QString:
        setText(cell, *static_cast<const QString*>(value.constData()));
        break;
    case QMetaType::QDateTime:
        setText(cell, value.toDateTime().toString(Qt::ISODateWithMs));
        break;
    default:
        setText(cell, value.toString());
        break;
    }
}

void SqliteBulkInsert::endRow() {
    if (next_ != columnCount_)
        throw Error(QStringLiteral("Неполная строка вставки"));
    next_ = 0;
    if (++rows_ == batchRows_)
        send(rows_);
}

void SqliteBulkInsert::flush() {
    if (rows_ > 0)
        send(rows_);
}

void SqliteBulkInsert::send(int rows) {
    sqlite3_stmt* statement = statementFor(rows);
    const int values = rows * columnCount_;
    for (int i = 0; i < values; ++i) {
        const Cell& cell = cells_[size_t(i)];
        int rc = SQLITE_OK;
        switch (cell.kind) {
        case Cell::Kind::Null:
            rc = sqlite3_bind_null(statement, i + 1);
            break;
        case Cell::Kind::Integer:
            rc = sqlite3_bind_int64(statement, i + 1, cell.integer);
            break;
        case Cell::Kind::Double:
            rc = sqlite3_bind_double(statement, i + 1, cell.number);
            break;
        case Cell::Kind::Text:
            rc = sqlite3_bind_text(statement, i + 1, cell.text.data(), int(cell.text.size()), SQLITE_STATIC);
            break;
        case Cell::Kind::Blob: {
            const auto* bytes = static_cast<const QByteArray*>(cell.held.constData());
            rc = sqlite3_bind_blob(statement, i + 1, bytes->constData(), int(bytes->size()), SQLITE_STATIC);
            break;
        }
        }
        if (rc != SQLITE_OK)
            fail(statement);
    }
    if (sqlite3_step(statement) != SQLITE_DONE)
        fail(statement);
    if (sqlite3_reset(statement) != SQLITE_OK)
        fail(statement);
    rows_ = 0;
}

} // namespace svod::db

#include "db/SqliteBulkInsert.h"

#include <QDateTime>
#include <sqlite3.h>

#include "db/Error.h"

namespace svod::db {

SqliteBulkInsert::SqliteBulkInsert(sqlite3* handle, const QString& table, const QStringList& columns)
    : db_(handle), columns_(int(columns.size())), texts_(size_t(columns.size())),
      held_(size_t(columns.size())) {
    const QString sql = QStringLiteral("insert into ") + table + QStringLiteral(" (") + columns.join(u',') +
                        QStringLiteral(") values (") +
                        QString(QStringLiteral("?,")).repeated(columns.size()).chopped(1) + u')';
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db_, utf8.constData(), int(utf8.size()), &statement_, nullptr) != SQLITE_OK)
        fail();
}

SqliteBulkInsert::~SqliteBulkInsert() {
    sqlite3_finalize(statement_);
}

void SqliteBulkInsert::fail() {
    const QString message = QString::fromUtf8(sqlite3_errmsg(db_));
    if (statement_)
        sqlite3_reset(statement_);
    next_ = 0;
    throw DbError(message);
}

void SqliteBulkInsert::bindText(int index, const QString& text) {
    std::string& bytes = texts_[size_t(index)];
    bytes.clear();
    const QChar* chars = text.constData();
    const qsizetype size = text.size();
    qsizetype i = 0;
    for (; i < size && chars[i].unicode() < 0x80; ++i)
        bytes.push_back(char(chars[i].unicode()));
    if (i < size)
        bytes = text.toStdString(); // UTF-8 of the whole text
    if (sqlite3_bind_text(statement_, index + 1, bytes.data(), int(bytes.size()), SQLITE_STATIC) != SQLITE_OK)
        fail();
}

void SqliteBulkInsert::add(const QVariant& value) {
    if (next_ >= columns_)
        throw Error(QStringLiteral("Лишнее значение в строке вставки"));
    const int index = next_++;
    int rc = SQLITE_OK;
    if (isNullValue(value)) {
        rc = sqlite3_bind_null(statement_, index + 1);
    } else {
        switch (value.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::Bool:
            rc = sqlite3_bind_int(statement_, index + 1, value.toInt());
            break;
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            rc = sqlite3_bind_int64(statement_, index + 1, value.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(statement_, index + 1, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            held_[size_t(index)] = value;
            const auto* bytes = static_cast<const QByteArray*>(held_[size_t(index)].constData());
            rc = sqlite3_bind_blob(statement_, index + 1, bytes->constData(), int(bytes->size()),
                                   SQLITE_STATIC);
            break;
        }
        case QMetaType::QString:
            bindText(index, *static_cast<const QString*>(value.constData()));
            break;
        case QMetaType::QDateTime:
            bindText(index, value.toDateTime().toString(Qt::ISODateWithMs));
            break;
        default:
            bindText(index, value.toString());
            break;
        }
    }
    if (rc != SQLITE_OK)
        fail();
}

void SqliteBulkInsert::endRow() {
    if (next_ != columns_)
        throw Error(QStringLiteral("Неполная строка вставки"));
    next_ = 0;
    if (sqlite3_step(statement_) != SQLITE_DONE)
        fail();
    if (sqlite3_reset(statement_) != SQLITE_OK)
        fail();
}

} // namespace svod::db

#include <QDateTime>
#include <QVariant>

#include "db/BulkInsert.h"
#include "db/Error.h"
#include "db/SqliteBulkInsert.h"
#include "db/SqliteMemoryTable.h"
#include "db/memory/MemoryRows.h"

namespace svod::db {

namespace {

using memory::Cell;
using memory::Column;
using memory::sameName;
using memory::Storage;

// Values a caller binds, converted as an insert into the table would convert them.
class MemoryTableInsert final : public BulkInsert {
public:
    MemoryTableInsert(sqlite3* db, std::shared_ptr<Storage> storage, std::vector<int> targets)
        : db_(db), storage_(std::move(storage)), targets_(std::move(targets)),
          row_(storage_->columns().size()), lastTexts_(storage_->columns().size()) {}
    ~MemoryTableInsert() override { sqlite3_finalize(numberCheck_); }

    Method method() const override { return Method::SqliteLibrary; }

    void add(const QVariant& value) override {
        if (next_ >= targets_.size())
            throw Error(QStringLiteral("Лишнее значение в строке вставки"));
        const auto target = std::size_t(targets_[next_++]);
        Column& column = storage_->columns()[target];
        Cell& cell = row_[target];
        if (isNullValue(value)) {
            cell = Cell{};
            return;
        }
        switch (value.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::Bool:
        case QMetaType::UInt:
        case QMetaType::LongLong:
            column.fromInteger(value.toLongLong(), cell);
            break;
        case QMetaType::Double:
            column.fromDouble(value.toDouble(), cell);
            break;
        case QMetaType::QByteArray: {
            const auto* bytes = static_cast<const QByteArray*>(value.constData());
            column.fromBytes({bytes->constData(), std::size_t(bytes->size())}, false, true, cell);
            break;
        }
        case QMetaType::QString:
            addSharedText(target, *static_cast<const QString*>(value.constData()), cell);
            break;
        case QMetaType::QDateTime:
            addText(column, value.toDateTime().toString(Qt::ISODateWithMs), cell);
            break;
        default:
            addText(column, value.toString(), cell);
            break;
        }
    }

    void endRow() override {
        if (next_ != targets_.size())
            throw Error(QStringLiteral("Неполная строка вставки"));
        storage_->appendRow(row_);
        row_.assign(row_.size(), Cell{});
        next_ = 0;
    }

    void flush() override {}

private:
    // Packets repeat texts (branch, plane, item over its rows, dates), and their readers hand the
    // same shared string on while the text repeats: the cell made of it last time is taken again.
    // The kept copy holds the string's data, so an equal data pointer means the same text.
    void addSharedText(std::size_t target, const QString& text, Cell& cell) {
        auto& [last, lastCell] = lastTexts_[target];
        if (!last.isNull() && text.constData() == last.constData() && text.size() == last.size()) {
            cell = lastCell;
            return;
        }
        addText(storage_->columns()[target], text, cell);
        last = text;
        lastCell = cell;
    }

    void addText(Column& column, const QString& text, Cell& cell) {
        utf8Into(text, utf8_);
        if (column.hasNumericAffinity() && looksNumeric(column, cell))
            return;
        column.fromBytes(utf8_, true, true, cell);
    }

    // Whether SQLite's numeric affinity turns the text in utf8_ into a number (then `cell` is it).
    // Most texts of such columns are dates that repeat, so each distinct text is asked once.
    bool looksNumeric(Column& column, Cell& cell) {
        auto& known = numericTexts_[&column];
        if (const auto found = known.find(utf8_); found != known.end()) {
            if (found->second.type == SQLITE_TEXT)
                return false;
            cell = found->second;
            return true;
        }
        if (!numberCheck_ && sqlite3_prepare_v2(db_, "select ?1", -1, &numberCheck_, nullptr) != SQLITE_OK)
            throw DbError(QString::fromUtf8(sqlite3_errmsg(db_)));
        sqlite3_bind_text(numberCheck_, 1, utf8_.data(), int(utf8_.size()), SQLITE_STATIC);
        Cell result{SQLITE_TEXT, 0};
        if (sqlite3_step(numberCheck_) == SQLITE_ROW) {
            sqlite3_value* value = sqlite3_column_value(numberCheck_, 0);
            switch (sqlite3_value_numeric_type(value)) {
            case SQLITE_INTEGER:
                column.fromInteger(sqlite3_value_int64(value), result);
                break;
            case SQLITE_FLOAT:
                column.fromDouble(sqlite3_value_double(value), result);
                break;
            default:
                break;
            }
        }
        sqlite3_reset(numberCheck_);
        if (known.size() > 65536)
            known.clear();
        known.emplace(utf8_, result);
        if (result.type == SQLITE_TEXT)
            return false;
        cell = result;
        return true;
    }

    sqlite3* db_;
    std::shared_ptr<Storage> storage_;
    std::vector<int> targets_; // table column of each value of a row
    std::size_t next_ = 0;
    std::vector<Cell> row_;
    std::string utf8_;
    std::vector<std::pair<QString, Cell>> lastTexts_; // by table column
    sqlite3_stmt* numberCheck_ = nullptr;
    std::map<const Column*, std::unordered_map<std::string, Cell>> numericTexts_;
};

} // namespace

std::unique_ptr<BulkInsert> makeMemoryTableInsert(sqlite3* handle, const QString& table,
                                                  const QStringList& columns) {
    QString name = table;
    if (name.startsWith(QLatin1String("temp."), Qt::CaseInsensitive))
        name.remove(0, 5);
    std::shared_ptr<Storage> storage = memory::findTable(handle, name.toStdString());
    if (!storage)
        return nullptr;
    std::vector<int> targets;
    for (const QString& column : columns) {
        const std::string wanted = column.toStdString();
        const auto& all = storage->columns();
        const auto found =
            std::find_if(all.begin(), all.end(), [&](const Column& c) { return sameName(c.name(), wanted); });
        if (found == all.end())
            throw DbError(QStringLiteral("table %1 has no column named %2").arg(table, column));
        targets.push_back(int(found - all.begin()));
    }
    // An empty insert enlists the table in the open transaction, whose rollback then takes the
    // appended rows back.
    const std::string enlist =
        "insert into " + table.toStdString() + " select * from " + table.toStdString() + " where 0";
    char* error = nullptr;
    if (sqlite3_exec(handle, enlist.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(handle));
        sqlite3_free(error);
        throw DbError(message);
    }
    return std::make_unique<MemoryTableInsert>(handle, std::move(storage), std::move(targets));
}

} // namespace svod::db

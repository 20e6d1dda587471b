#include "db/SqliteMemoryTable.h"

#include <QDateTime>
#include <QVariant>
#include <mutex>

#include "db/BulkInsert.h"
#include "db/Error.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace svod::db {

namespace {

// Column affinity by SQLite's rules for declared types.
enum class Affinity { Integer, Text, Blob, Real, Numeric };

Affinity affinityOf(std::string declared) {
    std::transform(declared.begin(), declared.end(), declared.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    const auto has = [&](const char* part) { return declared.find(part) != std::string::npos; };
    if (has("INT"))
        return Affinity::Integer;
    if (has("CHAR") || has("CLOB") || has("TEXT"))
        return Affinity::Text;
    if (declared.empty() || has("BLOB"))
        return Affinity::Blob;
    if (has("REAL") || has("FLOA") || has("DOUB"))
        return Affinity::Real;
    return Affinity::Numeric;
}

// One value as a column keeps it: SQLite's type and the integer, the bits of the double, or the
// number of the text or blob in the column's dictionary.
struct Cell {
    int type = SQLITE_NULL;
    std::int64_t payload = 0;
};

// Order of SQLite's comparisons: NULL, numbers, texts, blobs.
int typeClass(int type) {
    switch (type) {
    case SQLITE_NULL:
        return 0;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return 1;
    case SQLITE_TEXT:
        return 2;
    default:
        return 3;
    }
}

int compareNumbers(const Cell& a, const Cell& b) {
    if (a.type == SQLITE_INTEGER && b.type == SQLITE_INTEGER)
        return a.payload < b.payload ? -1 : a.payload > b.payload ? 1 : 0;
    const auto asLong = [](const Cell& c) {
        return c.type == SQLITE_INTEGER ? static_cast<long double>(c.payload)
                                        : static_cast<long double>(std::bit_cast<double>(c.payload));
    };
    const long double x = asLong(a);
    const long double y = asLong(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

std::string_view asText(sqlite3_value* value) {
    const auto* text = sqlite3_value_text(value);
    return {text ? reinterpret_cast<const char*>(text) : "", std::size_t(sqlite3_value_bytes(value))};
}

class Column {
public:
    Column(std::string name, std::string declared)
        : name_(std::move(name)), declared_(std::move(declared)), affinity_(affinityOf(declared_)) {}

    const std::string& name() const { return name_; }
    const std::string& declared() const { return declared_; }
    bool hasTextAffinity() const { return affinity_ == Affinity::Text; }
    std::size_t size() const { return types_.size(); }
    std::size_t distinctTexts() const { return texts_.size(); }

    // The value `value` becomes when stored in this column. Texts are added to the dictionary when
    // `store` is set; otherwise a text no row holds gives false (it equals no stored value).
    bool convert(sqlite3_value* value, bool store, Cell& cell) {
        switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            cell = Cell{};
            return true;
        case SQLITE_INTEGER:
            if (affinity_ == Affinity::Text)
                return fromBytes(asText(value), true, store, cell);
            fromInteger(sqlite3_value_int64(value), cell);
            return true;
        case SQLITE_FLOAT:
            if (affinity_ == Affinity::Text)
                return fromBytes(asText(value), true, store, cell); // the number as SQLite writes it
            fromDouble(sqlite3_value_double(value), cell);
            return true;
        case SQLITE_TEXT:
            if (hasNumericAffinity()) {
                switch (sqlite3_value_numeric_type(value)) {
                case SQLITE_INTEGER:
                    fromInteger(sqlite3_value_int64(value), cell);
                    return true;
                case SQLITE_FLOAT:
                    fromDouble(sqlite3_value_double(value), cell);
                    return true;
                default:
                    break;
                }
            }
            return fromBytes(asText(value), true, store, cell);
        default:
            return fromBytes({static_cast<const char*>(sqlite3_value_blob(value)),
                              std::size_t(sqlite3_value_bytes(value))},
                             false, store, cell);
        }
    }

    bool hasNumericAffinity() const {
        return affinity_ == Affinity::Numeric || affinity_ == Affinity::Integer ||
               affinity_ == Affinity::Real;
    }

    void fromInteger(std::int64_t number, Cell& cell) {
        if (affinity_ == Affinity::Text) {
            char text[32];
            sqlite3_snprintf(sizeof text, text, "%lld", static_cast<long long>(number));
            fromBytes(text, true, true, cell);
        } else if (affinity_ == Affinity::Real) {
            cell = {SQLITE_FLOAT, std::bit_cast<std::int64_t>(double(number))};
        } else {
            cell = {SQLITE_INTEGER, number};
        }
    }

    void fromDouble(double number, Cell& cell) {
        if (affinity_ == Affinity::Text) {
            char text[40];
            sqlite3_snprintf(sizeof text, text, "%!.15g", number);
            fromBytes(text, true, true, cell);
            return;
        }
        if (affinity_ == Affinity::Numeric || affinity_ == Affinity::Integer) {
            // A whole number is kept as an integer, as SQLite's numeric affinity does.
            const auto whole = static_cast<std::int64_t>(number);
            if (number > -9.2e18 && number < 9.2e18 && double(whole) == number) {
                cell = {SQLITE_INTEGER, whole};
                return;
            }
        }
        cell = {SQLITE_FLOAT, std::bit_cast<std::int64_t>(number)};
    }

    // A text or blob as it stands (no affinity applied).
    bool fromBytes(std::string_view bytes, bool text, bool store, Cell& cell) {
        std::string& key = keyBuffer_;
        key.assign(1, text ? 'T' : 'B'); // texts order before blobs
        key.append(bytes);
        cell.type = text ? SQLITE_TEXT : SQLITE_BLOB;
        if (const auto found = textIds_.find(key); found != textIds_.end()) {
            cell.payload = found->second;
            return true;
        }
        if (!store)
            return false;
        texts_.push_back(key);
        cell.payload = std::int64_t(texts_.size() - 1);
        textIds_.emplace(texts_.back(), std::uint32_t(cell.payload));
        return true;
    }

    void append(const Cell& cell) {
        onlyTexts_ = onlyTexts_ && (cell.type == SQLITE_TEXT || cell.type == SQLITE_NULL);
        if (!wide_ && cell.type != SQLITE_TEXT && cell.type != SQLITE_BLOB && cell.type != SQLITE_NULL) {
            // The first number: payloads need all 64 bits from here on.
            payloads_.assign(ids_.begin(), ids_.end());
            ids_ = {};
            wide_ = true;
        }
        types_.push_back(static_cast<unsigned char>(cell.type));
        if (wide_)
            payloads_.push_back(cell.payload);
        else
            ids_.push_back(std::uint32_t(cell.payload));
    }
    void truncate(std::size_t rows) {
        types_.resize(rows);
        if (wide_)
            payloads_.resize(rows);
        else
            ids_.resize(rows);
    }
    std::int64_t payloadAt(std::size_t row) const { return wide_ ? payloads_[row] : ids_[row]; }
    Cell at(std::size_t row) const { return {types_[row], payloadAt(row)}; }
    // Every cell NULL or a text (which orders by rank alone).
    bool onlyTexts() const { return onlyTexts_; }
    // 0 for NULL, else 1 + the text's rank; valid when onlyTexts() after rankTexts().
    std::uint32_t textOrder(std::size_t row) const {
        return types_[row] == SQLITE_NULL ? 0 : 1 + ranks_[std::size_t(payloadAt(row))];
    }

    // Orders texts and blobs by their bytes, as the BINARY collation does.
    void rankTexts() {
        if (ranks_.size() == texts_.size())
            return;
        std::vector<std::uint32_t> byBytes(texts_.size());
        std::iota(byBytes.begin(), byBytes.end(), 0U);
        std::sort(byBytes.begin(), byBytes.end(),
                  [this](std::uint32_t a, std::uint32_t b) { return texts_[a] < texts_[b]; });
        ranks_.assign(texts_.size(), 0);
        for (std::uint32_t rank = 0; rank < byBytes.size(); ++rank)
            ranks_[byBytes[rank]] = rank;
    }

    // Needs rankTexts() after the last text was added.
    int compare(const Cell& a, const Cell& b) const {
        const int classA = typeClass(a.type);
        const int classB = typeClass(b.type);
        if (classA != classB)
            return classA < classB ? -1 : 1;
        switch (classA) {
        case 0:
            return 0;
        case 1:
            return compareNumbers(a, b);
        default: {
            const std::uint32_t x = ranks_[std::size_t(a.payload)];
            const std::uint32_t y = ranks_[std::size_t(b.payload)];
            return x < y ? -1 : x > y ? 1 : 0;
        }
        }
    }

    // The cell of `row` against a value that need not be stored (a text compared by its bytes).
    int compareToValue(std::size_t row, const Cell& value, std::string_view bytes) const {
        const Cell cell = at(row);
        const int classA = typeClass(cell.type);
        const int classB = typeClass(value.type);
        if (classA != classB)
            return classA < classB ? -1 : 1;
        if (classA == 0)
            return 0;
        if (classA == 1)
            return compareNumbers(cell, value);
        const int order = std::string_view(texts_[std::size_t(cell.payload)]).substr(1).compare(bytes);
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    }

    void result(sqlite3_context* context, std::size_t row) const {
        const std::int64_t payload = payloadAt(row);
        switch (types_[row]) {
        case SQLITE_INTEGER:
            sqlite3_result_int64(context, payload);
            break;
        case SQLITE_FLOAT:
            sqlite3_result_double(context, std::bit_cast<double>(payload));
            break;
        case SQLITE_TEXT: {
            // Dictionary entries never move (deque) and are never removed while the table lives.
            const std::string& text = texts_[std::size_t(payload)];
            sqlite3_result_text(context, text.data() + 1, int(text.size() - 1), SQLITE_STATIC);
            break;
        }
        case SQLITE_BLOB: {
            const std::string& blob = texts_[std::size_t(payload)];
            sqlite3_result_blob(context, blob.data() + 1, int(blob.size() - 1), SQLITE_STATIC);
            break;
        }
        default:
            sqlite3_result_null(context);
            break;
        }
    }

private:
    std::string name_;
    std::string declared_;
    Affinity affinity_;
    std::vector<unsigned char> types_;
    // Numbers of texts and blobs take half the room while the column holds nothing else.
    std::vector<std::uint32_t> ids_;
    std::vector<std::int64_t> payloads_;
    bool wide_ = false;
    std::deque<std::string> texts_; // type tag + bytes
    std::unordered_map<std::string_view, std::uint32_t> textIds_;
    std::vector<std::uint32_t> ranks_;
    std::string keyBuffer_;
    bool onlyTexts_ = true;
};

// The rows of one memory table, shared by the table object SQLite connects and reconnects.
class Storage {
public:
    Storage(std::vector<Column> columns, std::vector<int> key)
        : columns_(std::move(columns)), key_(std::move(key)) {}

    std::vector<Column>& columns() { return columns_; }
    const std::vector<int>& key() const { return key_; }
    std::size_t rows() const { return columns_.empty() ? 0 : columns_.front().size(); }

    void appendRow(const std::vector<Cell>& cells) {
        for (std::size_t c = 0; c < columns_.size(); ++c)
            columns_[c].append(cells[c]);
        ordered_ = false;
    }
    void truncate(std::size_t rows) {
        if (rows >= this->rows())
            return;
        for (Column& column : columns_)
            column.truncate(rows);
        ordered_ = false;
    }

    // Row numbers in key order (ties in the order appended); rebuilt only while no other cursor
    // walks the previous order.
    const std::vector<std::uint32_t>* order(bool othersOpen) {
        if (!ordered_) {
            if (othersOpen)
                return nullptr;
            sortRows();
            ordered_ = true;
        }
        return &order_;
    }

    // Positions in order() of the rows whose first key column holds the text numbered `text`
    // (texts of that column only; empty when none has it).
    std::pair<std::size_t, std::size_t> firstKeyRange(std::int64_t text) const {
        if (text < 0 || std::size_t(text) >= firstKeyRanges_.size())
            return {0, 0};
        return firstKeyRanges_[std::size_t(text)];
    }

    // Savepoint levels and the row counts they started with; level 0 is the transaction.
    std::vector<std::size_t> savepoints;
    // The row being appended, kept to spare an allocation per row.
    std::vector<Cell> rowBuffer;

private:
    void sortRows() {
        for (const int c : key_)
            columns_[std::size_t(c)].rankTexts();
        order_.resize(rows());
        const bool textKeys = key_.size() <= 3 && std::all_of(key_.begin(), key_.end(), [this](int c) {
                                  return columns_[std::size_t(c)].onlyTexts();
                              });
        if (textKeys) {
            // Texts compare by rank: sort small fixed keys instead of looking cells up.
            struct Entry {
                std::array<std::uint32_t, 3> key;
                std::uint32_t row;
            };
            std::vector<Entry> entries(rows());
            for (std::uint32_t row = 0; row < entries.size(); ++row) {
                Entry& entry = entries[row];
                entry.key = {0, 0, 0};
                for (std::size_t k = 0; k < key_.size(); ++k)
                    entry.key[k] = columns_[std::size_t(key_[k])].textOrder(row);
                entry.row = row;
            }
            const auto before = [](const Entry& a, const Entry& b) {
                return a.key != b.key ? a.key < b.key : a.row < b.row;
            };
            // Packets list each item's rows together: then only the runs of one first key value
            // need sorting.
            const bool grouped =
                std::is_sorted(entries.begin(), entries.end(),
                               [](const Entry& a, const Entry& b) { return a.key[0] < b.key[0]; });
            if (grouped) {
                for (auto run = entries.begin(); run != entries.end();) {
                    const auto next = std::find_if(run, entries.end(),
                                                   [&](const Entry& e) { return e.key[0] != run->key[0]; });
                    std::sort(run, next, before);
                    run = next;
                }
            } else {
                std::sort(entries.begin(), entries.end(), before);
            }
            for (std::size_t i = 0; i < entries.size(); ++i)
                order_[i] = entries[i].row;
        } else {
            std::iota(order_.begin(), order_.end(), 0U);
            std::sort(order_.begin(), order_.end(), [this](std::uint32_t a, std::uint32_t b) {
                for (const int c : key_) {
                    const Column& column = columns_[std::size_t(c)];
                    if (const int order = column.compare(column.at(a), column.at(b)); order != 0)
                        return order < 0;
                }
                return a < b;
            });
        }
        // Where each text of the first key column starts and ends in that order.
        firstKeyRanges_.assign(key_.empty() ? 0 : columns_[std::size_t(key_.front())].distinctTexts(),
                               {0, 0});
        if (key_.empty())
            return;
        const Column& first = columns_[std::size_t(key_.front())];
        for (std::size_t i = 0; i < order_.size(); ++i) {
            const Cell cell = first.at(order_[i]);
            if (cell.type != SQLITE_TEXT)
                continue;
            auto& range = firstKeyRanges_[std::size_t(cell.payload)];
            if (range.first == range.second)
                range.first = i;
            range.second = i + 1;
        }
    }

    std::vector<Column> columns_;
    std::vector<int> key_;
    std::vector<std::uint32_t> order_;
    std::vector<std::pair<std::size_t, std::size_t>> firstKeyRanges_;
    bool ordered_ = true;
};

// Tables of one connection by name: SQLite disconnects and reconnects virtual tables when it
// reloads the schema, and the rows must survive that.
struct Registry {
    explicit Registry(sqlite3* handle);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    sqlite3* db;
    std::map<std::string, std::shared_ptr<Storage>> tables;
};

// The registry of each connection, for appenders that hold only the connection's handle.
std::mutex registriesGuard;
std::map<sqlite3*, Registry*> registries;

Registry::Registry(sqlite3* handle) : db(handle) {
    const std::lock_guard lock(registriesGuard);
    registries[handle] = this;
}

Registry::~Registry() {
    const std::lock_guard lock(registriesGuard);
    if (const auto found = registries.find(db); found != registries.end() && found->second == this)
        registries.erase(found);
}

struct Table {
    sqlite3_vtab base{};
    Registry* registry = nullptr;
    std::string name;
    std::shared_ptr<Storage> storage;
    int openCursors = 0;
};

// One end of a range on a key column: the value after the column's numeric affinity, the bytes
// of a text or blob.
struct Bound {
    Cell value;
    std::string bytes;
    bool strict = false;
};

struct Cursor {
    sqlite3_vtab_cursor base{};
    Storage* storage = nullptr;
    const std::vector<std::uint32_t>* order = nullptr; // null: rows as appended
    std::size_t position = 0;
    std::size_t end = 0;
    // The conditions SQLite left to the table, checked here when rows are read as appended: key
    // columns and the values they equal, then the range of the next key column.
    std::vector<std::pair<int, Cell>> equal;
    int rangeColumn = -1;
    std::optional<Bound> lower;
    std::optional<Bound> upper;

    std::size_t row() const { return order ? (*order)[position] : position; }
    bool withinRange(std::size_t at) const {
        if (rangeColumn < 0)
            return true;
        const Column& column = storage->columns()[std::size_t(rangeColumn)];
        if (column.at(at).type == SQLITE_NULL)
            return false; // a comparison with NULL is never true
        if (lower) {
            const int order = column.compareToValue(at, lower->value, lower->bytes);
            if (order < 0 || (order == 0 && lower->strict))
                return false;
        }
        if (upper) {
            const int order = column.compareToValue(at, upper->value, upper->bytes);
            if (order > 0 || (order == 0 && upper->strict))
                return false;
        }
        return true;
    }
    bool matches() const {
        return withinRange(row()) &&
               std::all_of(equal.begin(), equal.end(), [this](const std::pair<int, Cell>& condition) {
                   const Cell cell = storage->columns()[std::size_t(condition.first)].at(row());
                   return cell.type == condition.second.type && cell.payload == condition.second.payload;
               });
    }
    void skipToMatch() {
        if (!order)
            while (position < end && !matches())
                ++position;
    }
};

Table* tableOf(sqlite3_vtab* vtab) {
    return reinterpret_cast<Table*>(vtab);
}
Cursor* cursorOf(sqlite3_vtab_cursor* cursor) {
    return reinterpret_cast<Cursor*>(cursor);
}

void setError(char** message, const std::string& text) {
    *message = sqlite3_mprintf("%s", text.c_str());
}

std::string unquoted(std::string_view word) {
    while (!word.empty() && std::isspace(static_cast<unsigned char>(word.front())))
        word.remove_prefix(1);
    while (!word.empty() && std::isspace(static_cast<unsigned char>(word.back())))
        word.remove_suffix(1);
    if (word.size() >= 2 &&
        (word.front() == '"' || word.front() == '\'' || word.front() == '[' || word.front() == '`'))
        word = word.substr(1, word.size() - 2);
    return std::string(word);
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string quotedIdentifier(const std::string& name) {
    std::string quoted = "\"";
    for (const char c : name) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// The model table's columns with their declared types.
bool readModel(sqlite3* db, const std::string& model, std::vector<Column>& columns, char** error) {
    const std::string sql = "select * from " + model;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        setError(error, sqlite3_errmsg(db));
        sqlite3_finalize(statement);
        return false;
    }
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        const char* declared = sqlite3_column_decltype(statement, c);
        columns.emplace_back(sqlite3_column_name(statement, c), declared ? declared : "");
    }
    sqlite3_finalize(statement);
    return true;
}

int connectTable(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error,
                 bool create) {
    auto* registry = static_cast<Registry*>(aux);
    if (argc < 4) {
        setError(error, std::string(MemoryTableModule) + ": не указана таблица-образец");
        return SQLITE_ERROR;
    }
    if (!sameName(argv[1], "temp")) {
        // A table kept in memory must not outlive the connection in the database's schema.
        setError(error, std::string(MemoryTableModule) + ": таблица в памяти может быть только временной");
        return SQLITE_ERROR;
    }
    const std::string name = argv[2];
    std::shared_ptr<Storage> storage;
    if (create) {
        std::vector<Column> columns;
        if (!readModel(db, unquoted(argv[3]), columns, error))
            return SQLITE_ERROR;
        std::vector<int> key;
        for (int a = 4; a < argc; ++a) {
            const std::string wanted = unquoted(argv[a]);
            const auto found = std::find_if(columns.begin(), columns.end(),
                                            [&](const Column& c) { return sameName(c.name(), wanted); });
            if (found == columns.end()) {
                setError(error, std::string(MemoryTableModule) + ": нет столбца " + wanted);
                return SQLITE_ERROR;
            }
            key.push_back(int(found - columns.begin()));
        }
        storage = std::make_shared<Storage>(std::move(columns), std::move(key));
        registry->tables[name] = storage;
    } else {
        const auto found = registry->tables.find(name);
        if (found == registry->tables.end()) {
            setError(error, std::string(MemoryTableModule) + ": строки таблицы " + name + " утеряны");
            return SQLITE_ERROR;
        }
        storage = found->second;
    }

    std::string declaration = "create table x(";
    for (std::size_t c = 0; c < storage->columns().size(); ++c) {
        const Column& column = storage->columns()[c];
        declaration += (c ? ", " : "") + quotedIdentifier(column.name()) + ' ' + column.declared();
    }
    declaration += ')';
    if (const int rc = sqlite3_declare_vtab(db, declaration.c_str()); rc != SQLITE_OK) {
        if (create)
            registry->tables.erase(name);
        return rc;
    }
    auto table = std::make_unique<Table>();
    table->registry = registry;
    table->name = name;
    table->storage = std::move(storage);
    *out = &table.release()->base;
    return SQLITE_OK;
}

int xCreate(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error) {
    return connectTable(db, aux, argc, argv, out, error, true);
}
int xConnect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error) {
    return connectTable(db, aux, argc, argv, out, error, false);
}
int xDisconnect(sqlite3_vtab* vtab) {
    delete tableOf(vtab);
    return SQLITE_OK;
}
int xDestroy(sqlite3_vtab* vtab) {
    Table* table = tableOf(vtab);
    table->registry->tables.erase(table->name);
    delete table;
    return SQLITE_OK;
}

// Plans: idxNum 0 reads every row; idxNum n > 0 looks up equal values of the first n key columns,
// which must keep texts (text affinity) compared byte by byte (BINARY).
// Plans, in idxNum: the low byte n > 0 looks up equal values of the first n key columns, which
// must keep texts (text affinity) compared byte by byte (BINARY); then HasLower/HasUpper bound
// key column n + 1 when it has a numeric affinity, whose comparisons the table answers exactly.
// 0 reads every row.
constexpr int HasLower = 1 << 8;
constexpr int HasUpper = 1 << 9;
constexpr int StrictLower = 1 << 10;
constexpr int StrictUpper = 1 << 11;

bool isBinary(sqlite3_index_info* info, int constraint) {
    return std::strcmp(sqlite3_vtab_collation(info, constraint), "BINARY") == 0;
}

int xBestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
    Storage& storage = *tableOf(vtab)->storage;
    const double rows = double(std::max<std::size_t>(storage.rows(), 1));
    std::vector<int> equal(storage.key().size(), -1);
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& constraint = info->aConstraint[i];
        if (!constraint.usable || constraint.op != SQLITE_INDEX_CONSTRAINT_EQ ||
            !storage.columns()[std::size_t(constraint.iColumn)].hasTextAffinity() || !isBinary(info, i))
            continue;
        for (std::size_t k = 0; k < storage.key().size(); ++k)
            if (storage.key()[k] == constraint.iColumn && equal[k] < 0)
                equal[k] = i;
    }
    int prefix = 0;
    double matching = rows;
    int argument = 0;
    while (prefix < int(equal.size()) && equal[std::size_t(prefix)] >= 0) {
        const Column& column = storage.columns()[std::size_t(storage.key()[std::size_t(prefix)])];
        matching /= double(std::max<std::size_t>(column.distinctTexts(), 1));
        info->aConstraintUsage[equal[std::size_t(prefix)]].argvIndex = ++argument;
        // Byte equality of texts is the whole condition.
        info->aConstraintUsage[equal[std::size_t(prefix)]].omit = 1;
        ++prefix;
    }
    int plan = prefix;
    if (prefix > 0 && prefix < int(storage.key().size()) &&
        storage.columns()[std::size_t(storage.key()[std::size_t(prefix)])].hasNumericAffinity()) {
        const int column = storage.key()[std::size_t(prefix)];
        int lower = -1;
        int upper = -1;
        for (int i = 0; i < info->nConstraint; ++i) {
            const auto& constraint = info->aConstraint[i];
            if (!constraint.usable || constraint.iColumn != column || !isBinary(info, i))
                continue;
            if ((constraint.op == SQLITE_INDEX_CONSTRAINT_GE ||
                 constraint.op == SQLITE_INDEX_CONSTRAINT_GT) &&
                lower < 0)
                lower = i;
            if ((constraint.op == SQLITE_INDEX_CONSTRAINT_LE ||
                 constraint.op == SQLITE_INDEX_CONSTRAINT_LT) &&
                upper < 0)
                upper = i;
        }
        if (lower >= 0) {
            plan |= HasLower | (info->aConstraint[lower].op == SQLITE_INDEX_CONSTRAINT_GT ? StrictLower : 0);
            info->aConstraintUsage[lower].argvIndex = ++argument;
            info->aConstraintUsage[lower].omit = 1;
            matching /= 2;
        }
        if (upper >= 0) {
            plan |= HasUpper | (info->aConstraint[upper].op == SQLITE_INDEX_CONSTRAINT_LT ? StrictUpper : 0);
            info->aConstraintUsage[upper].argvIndex = ++argument;
            info->aConstraintUsage[upper].omit = 1;
            matching /= 2;
        }
    }
    matching = std::max(matching, 1.0);
    info->idxNum = plan;
    info->estimatedRows = sqlite3_int64(matching);
    info->estimatedCost = prefix ? std::log2(rows) * prefix + matching : rows;
    return SQLITE_OK;
}

// A bound as SQLite compares it with a column of numeric affinity: numeric affinity applied.
std::optional<Bound> boundOf(sqlite3_value* value, bool strict) {
    Bound bound;
    bound.strict = strict;
    int type = sqlite3_value_type(value);
    if (type == SQLITE_TEXT)
        type = sqlite3_value_numeric_type(value);
    switch (type) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_INTEGER:
        bound.value = {SQLITE_INTEGER, sqlite3_value_int64(value)};
        break;
    case SQLITE_FLOAT:
        bound.value = {SQLITE_FLOAT, std::bit_cast<std::int64_t>(sqlite3_value_double(value))};
        break;
    case SQLITE_TEXT:
        bound.value = {SQLITE_TEXT, 0};
        bound.bytes = std::string(asText(value));
        break;
    default:
        bound.value = {SQLITE_BLOB, 0};
        bound.bytes.assign(static_cast<const char*>(sqlite3_value_blob(value)),
                           std::size_t(sqlite3_value_bytes(value)));
        break;
    }
    return bound;
}

int xOpen(sqlite3_vtab* vtab, sqlite3_vtab_cursor** out) {
    auto cursor = std::make_unique<Cursor>();
    ++tableOf(vtab)->openCursors;
    *out = &cursor.release()->base;
    return SQLITE_OK;
}
int xClose(sqlite3_vtab_cursor* base) {
    --tableOf(base->pVtab)->openCursors;
    delete cursorOf(base);
    return SQLITE_OK;
}

// Whether the row lies beyond the cursor's upper bound (rows sorted by the range column).
bool pastUpper(const Cursor& cursor, std::uint32_t row) {
    if (!cursor.upper)
        return false;
    const Column& column = cursor.storage->columns()[std::size_t(cursor.rangeColumn)];
    const int order = column.compareToValue(row, cursor.upper->value, cursor.upper->bytes);
    return order > 0 || (order == 0 && cursor.upper->strict);
}

int xFilter(sqlite3_vtab_cursor* base, int idxNum, const char*, int argc, sqlite3_value** argv) {
    Cursor& cursor = *cursorOf(base);
    Table& table = *tableOf(base->pVtab);
    Storage& storage = *table.storage;
    cursor.storage = &storage;
    cursor.order = storage.order(table.openCursors > 1);
    cursor.position = 0;
    cursor.end = storage.rows();
    cursor.equal.clear();
    cursor.rangeColumn = -1;
    cursor.lower.reset();
    cursor.upper.reset();
    const auto nothing = [&] {
        cursor.end = 0;
        return SQLITE_OK;
    };
    const int prefix = idxNum & 0xFF;
    int argument = 0;
    for (int k = 0; k < prefix && argument < argc; ++k) {
        const int c = storage.key()[std::size_t(k)];
        Cell probe;
        // NULL equals nothing; nor does a value no row holds.
        if (!storage.columns()[std::size_t(c)].convert(argv[argument++], false, probe) ||
            probe.type == SQLITE_NULL)
            return nothing();
        cursor.equal.emplace_back(c, probe);
    }
    if ((idxNum & (HasLower | HasUpper)) != 0) {
        cursor.rangeColumn = storage.key()[std::size_t(prefix)];
        if ((idxNum & HasLower) != 0 && argument < argc) {
            cursor.lower = boundOf(argv[argument++], (idxNum & StrictLower) != 0);
            if (!cursor.lower)
                return nothing(); // compared with NULL
        }
        if ((idxNum & HasUpper) != 0 && argument < argc) {
            cursor.upper = boundOf(argv[argument++], (idxNum & StrictUpper) != 0);
            if (!cursor.upper)
                return nothing();
        }
    }
    if (!cursor.order || (cursor.equal.empty() && cursor.rangeColumn < 0)) {
        cursor.skipToMatch();
        return SQLITE_OK;
    }
    // The rows of the first key value, narrowed by the further key columns, then by the range.
    const auto& order = *cursor.order;
    std::size_t from = 0;
    std::size_t to = order.size();
    std::size_t narrowed = 0;
    if (!cursor.equal.empty() && cursor.equal.front().second.type == SQLITE_TEXT) {
        const Cell& first = cursor.equal.front().second;
        std::tie(from, to) = storage.firstKeyRange(first.payload);
        narrowed = 1;
    }
    const auto slice = [&](auto below, auto within) {
        const auto begin = order.begin() + std::ptrdiff_t(from);
        const auto end = order.begin() + std::ptrdiff_t(to);
        const auto first = std::partition_point(begin, end, below);
        const auto last = std::partition_point(first, end, within);
        from = std::size_t(first - order.begin());
        to = std::size_t(last - order.begin());
    };
    for (std::size_t k = narrowed; k < cursor.equal.size() && from < to; ++k) {
        const Column& column = storage.columns()[std::size_t(cursor.equal[k].first)];
        const Cell& probe = cursor.equal[k].second;
        slice([&](std::uint32_t row) { return column.compare(column.at(row), probe) < 0; },
              [&](std::uint32_t row) { return column.compare(column.at(row), probe) == 0; });
    }
    if (cursor.rangeColumn >= 0 && from < to) {
        // In order: NULLs first (never within a range), then the range.
        slice([&](std::uint32_t row) { return !cursor.withinRange(row) && !pastUpper(cursor, row); },
              [&](std::uint32_t row) { return cursor.withinRange(row); });
    }
    cursor.position = from;
    cursor.end = to;
    return SQLITE_OK;
}

int xNext(sqlite3_vtab_cursor* base) {
    Cursor& cursor = *cursorOf(base);
    ++cursor.position;
    cursor.skipToMatch();
    return SQLITE_OK;
}
int xEof(sqlite3_vtab_cursor* base) {
    const Cursor& cursor = *cursorOf(base);
    return cursor.position >= cursor.end;
}
int xColumn(sqlite3_vtab_cursor* base, sqlite3_context* context, int column) {
    const Cursor& cursor = *cursorOf(base);
    tableOf(base->pVtab)->storage->columns()[std::size_t(column)].result(context, cursor.row());
    return SQLITE_OK;
}
int xRowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
    *rowid = sqlite3_int64(cursorOf(base)->row()) + 1;
    return SQLITE_OK;
}

int xUpdate(sqlite3_vtab* vtab, int argc, sqlite3_value** argv, sqlite3_int64* rowid) {
    Storage& storage = *tableOf(vtab)->storage;
    if (argc == 1 || sqlite3_value_type(argv[0]) != SQLITE_NULL) {
        setError(&vtab->zErrMsg, std::string(MemoryTableModule) + ": строки можно только добавлять");
        return SQLITE_READONLY;
    }
    std::vector<Cell>& cells = storage.rowBuffer;
    cells.assign(storage.columns().size(), Cell{});
    for (std::size_t c = 0; c < cells.size() && int(c) + 2 < argc; ++c)
        storage.columns()[c].convert(argv[c + 2], true, cells[c]);
    storage.appendRow(cells);
    *rowid = sqlite3_int64(storage.rows());
    return SQLITE_OK;
}

int xBegin(sqlite3_vtab* vtab) {
    Storage& storage = *tableOf(vtab)->storage;
    storage.savepoints.assign(1, storage.rows());
    return SQLITE_OK;
}
int xSync(sqlite3_vtab*) {
    return SQLITE_OK;
}
int xCommit(sqlite3_vtab* vtab) {
    tableOf(vtab)->storage->savepoints.clear();
    return SQLITE_OK;
}
int xRollback(sqlite3_vtab* vtab) {
    Storage& storage = *tableOf(vtab)->storage;
    if (!storage.savepoints.empty())
        storage.truncate(storage.savepoints.front());
    storage.savepoints.clear();
    return SQLITE_OK;
}
// Savepoint n is kept at index n + 1, after the transaction's own row count.
int xSavepoint(sqlite3_vtab* vtab, int level) {
    Storage& storage = *tableOf(vtab)->storage;
    storage.savepoints.resize(std::size_t(level) + 2, storage.rows());
    storage.savepoints[std::size_t(level) + 1] = storage.rows();
    return SQLITE_OK;
}
int xRelease(sqlite3_vtab* vtab, int level) {
    Storage& storage = *tableOf(vtab)->storage;
    if (storage.savepoints.size() > std::size_t(level) + 1)
        storage.savepoints.resize(std::size_t(level) + 1);
    return SQLITE_OK;
}
int xRollbackTo(sqlite3_vtab* vtab, int level) {
    Storage& storage = *tableOf(vtab)->storage;
    if (storage.savepoints.size() > std::size_t(level) + 1)
        storage.truncate(storage.savepoints[std::size_t(level) + 1]);
    return SQLITE_OK;
}

sqlite3_module makeModule() {
    sqlite3_module module{};
    module.iVersion = 2;
    module.xCreate = xCreate;
    module.xConnect = xConnect;
    module.xBestIndex = xBestIndex;
    module.xDisconnect = xDisconnect;
    module.xDestroy = xDestroy;
    module.xOpen = xOpen;
    module.xClose = xClose;
    module.xFilter = xFilter;
    module.xNext = xNext;
    module.xEof = xEof;
    module.xColumn = xColumn;
    module.xRowid = xRowid;
    module.xUpdate = xUpdate;
    module.xBegin = xBegin;
    module.xSync = xSync;
    module.xCommit = xCommit;
    module.xRollback = xRollback;
    module.xSavepoint = xSavepoint;
    module.xRelease = xRelease;
    module.xRollbackTo = xRollbackTo;
    return module;
}

const sqlite3_module Module = makeModule();

// Values a caller binds, converted as an insert into the table would convert them.
class MemoryTableInsert final : public BulkInsert {
public:
    MemoryTableInsert(sqlite3* db, std::shared_ptr<Storage> storage, std::vector<int> targets)
        : db_(db), storage_(std::move(storage)), targets_(std::move(targets)) {}
    ~MemoryTableInsert() override { sqlite3_finalize(numberCheck_); }

    Method method() const override { return Method::SqliteLibrary; }

    void add(const QVariant& value) override {
        if (next_ >= targets_.size())
            throw Error(QStringLiteral("Лишнее значение в строке вставки"));
        if (row_.empty())
            row_.assign(storage_->columns().size(), Cell{});
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
        if (row_.empty())
            row_.assign(storage_->columns().size(), Cell{});
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
        if (lastTexts_.empty())
            lastTexts_.resize(storage_->columns().size());
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
        utf8_.clear();
        const QChar* chars = text.constData();
        qsizetype i = 0;
        for (; i < text.size() && chars[i].unicode() < 0x80; ++i)
            utf8_.push_back(char(chars[i].unicode()));
        if (i < text.size())
            utf8_ = text.toStdString();
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
    std::shared_ptr<Storage> storage;
    {
        const std::lock_guard lock(registriesGuard);
        const auto registry = registries.find(handle);
        if (registry == registries.end())
            return nullptr;
        QString name = table;
        if (name.startsWith(QLatin1String("temp."), Qt::CaseInsensitive))
            name.remove(0, 5);
        const auto found = registry->second->tables.find(name.toStdString());
        if (found == registry->second->tables.end())
            return nullptr;
        storage = found->second;
    }
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

void registerMemoryTableModule(sqlite3* handle) {
    // The connection owns the registry from here on, and frees it even when this fails.
    auto registry = std::make_unique<Registry>(handle);
    sqlite3_create_module_v2(handle, MemoryTableModule, &Module, registry.release(),
                             [](void* aux) { delete static_cast<Registry*>(aux); });
}

} // namespace svod::db

#pragma once

// The rows of the SQLite memory tables (SqliteMemoryTable.h): columns of cells with SQLite's
// types and affinities, kept in key order; shared by the module and the direct appender.

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <numeric>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace svod::db::memory {

// Column affinity by SQLite's rules for declared types.
enum class Affinity { Integer, Text, Blob, Real, Numeric };

inline Affinity affinityOf(std::string declared) {
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
inline int typeClass(int type) {
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

inline int compareNumbers(const Cell& a, const Cell& b) {
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

inline std::string_view asText(sqlite3_value* value) {
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
    bool convert(sqlite3_value* value, bool store, Cell& cell);

    bool hasNumericAffinity() const {
        return affinity_ == Affinity::Numeric || affinity_ == Affinity::Integer ||
               affinity_ == Affinity::Real;
    }

    void fromInteger(std::int64_t number, Cell& cell);

    void fromDouble(double number, Cell& cell);

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
    void rankTexts();

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

    void result(sqlite3_context* context, std::size_t row) const;

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
    void sortRows();

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

// The memory table `name` of the connection, or null.
std::shared_ptr<Storage> findTable(sqlite3* handle, const std::string& name);

// Names compared as SQLite compares identifiers (ASCII letters without case).
bool sameName(std::string_view a, std::string_view b);

} // namespace svod::db::memory

#include "db/SqliteMemoryTable.h"

#include <cstring>
#include <optional>

#include "db/memory/MemoryRows.h"

namespace svod::db {

namespace {

using memory::asText;
using memory::Cell;
using memory::Column;
using memory::Registry;
using memory::sameName;
using memory::Storage;

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

} // namespace

void registerMemoryTableModule(sqlite3* handle) {
    // The connection owns the registry from here on, and frees it even when this fails.
    auto registry = std::make_unique<Registry>(handle);
    sqlite3_create_module_v2(handle, MemoryTableModule, &Module, registry.release(),
                             [](void* aux) { delete static_cast<Registry*>(aux); });
}

} // namespace svod::db

#include "db/memory/MemoryRows.h"

#include <mutex>

namespace svod::db::memory {

namespace {
// The registry of each connection, for appenders that hold only the connection's handle.
std::mutex registriesGuard;
std::map<sqlite3*, Registry*> registries;

} // namespace

bool Column::convert(sqlite3_value* value, bool store, Cell& cell) {
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
        return fromBytes(
            {static_cast<const char*>(sqlite3_value_blob(value)), std::size_t(sqlite3_value_bytes(value))},
            false, store, cell);
    }
}

void Column::fromInteger(std::int64_t number, Cell& cell) {
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

void Column::fromDouble(double number, Cell& cell) {
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

void Column::rankTexts() {
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

void Column::result(sqlite3_context* context, std::size_t row) const {
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

void Storage::sortRows() {
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
                const auto next =
                    std::find_if(run, entries.end(), [&](const Entry& e) { return e.key[0] != run->key[0]; });
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
    firstKeyRanges_.assign(key_.empty() ? 0 : columns_[std::size_t(key_.front())].distinctTexts(), {0, 0});
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

Registry::Registry(sqlite3* handle) : db(handle) {
    const std::lock_guard lock(registriesGuard);
    registries[handle] = this;
}

Registry::~Registry() {
    const std::lock_guard lock(registriesGuard);
    if (const auto found = registries.find(db); found != registries.end() && found->second == this)
        registries.erase(found);
}

std::shared_ptr<Storage> findTable(sqlite3* handle, const std::string& name) {
    const std::lock_guard lock(registriesGuard);
    const auto registry = registries.find(handle);
    if (registry == registries.end())
        return nullptr;
    const auto found = registry->second->tables.find(name);
    return found == registry->second->tables.end() ? nullptr : found->second;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace svod::db::memory

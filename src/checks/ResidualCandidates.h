#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <vector>

#include "db/ConnectionString.h"
#include "db/DateValue.h"

namespace svod::db {
class Connection;
} // namespace svod::db

namespace svod::checks {

// The name of the table of candidate rows, without the temporary prefix.
inline const QString ResidualCandidatesTable = QStringLiteral("TEMP2C");

// The depreciation rows (planes "2" and "4") of the packet whose residual value can fall below
// the threshold, found while the balance rows are copied into TEMP2: the turnovers of the balance
// plane up to each row's date are summed here in one pass over the rows instead of by the server
// once per row. The residual-value check then judges only these rows, with the server's own sums.
// SQLite names the rows by their row id in TEMP2 (the position in which they were stored) and
// sums doubles: a slack far above the rounding errors keeps in every row the server could refuse.
// PostgreSQL names the items and sums exactly, in ten-thousandths as numeric(19,4) keeps them; an
// item with an amount that needs more decimals is always a candidate.
class ResidualCandidates {
public:
    explicit ResidualCandidates(db::Backend backend) : exact_(backend == db::Backend::PostgreSQL) {}

    // The copied columns, in the order of the values of each row, and how many rows will come
    // (0 when unknown): balance and depreciation rows are taken to be half of them each.
    void setColumns(const QStringList& columns, qint64 rows = 0);
    // The next stored row.
    void addRow(const QVariant* values);
    // False once a value was met that the server would compare otherwise than this pass does
    // (the check then judges every row).
    bool usable() const { return usable_; }
    // Creates the table of candidates (SQLite: row ids RID; PostgreSQL: item IDs) and fills it;
    // false (no table made) when the pass is not usable or, on SQLite, TEMP2 does not hold
    // exactly the rows seen, in their order.
    bool store(db::Connection& connection, const DateValue& currencyFrom, const DateValue& roublesFrom,
               double threshold);
    // How many candidates store() put into the table.
    std::size_t stored() const { return stored_; }

private:
    struct Turnover {
        std::int32_t itemFamily; // item * 2 + family (0 dollars, 1 roubles)
        std::int32_t date;
        double delta;
    };
#pragma pack(push, 4)
    struct Depreciation {
        std::int32_t row; // 1-based position among the stored rows
        std::int32_t itemFamily;
        std::int32_t date;
        double saldo;
    };
#pragma pack(pop)
    struct LastText {
        QString text;
        int number = -1;
    };

    // The number of a text value, the first met getting the next one.
    static int numberOf(QHash<QString, int>& numbers, LastText& last, const QString& text);
    // The date as a text that sorts as the server orders the dates; false for a value of another kind.
    bool dateKey(const QVariant& date, QString& key);
    // The amount as summed; false for a value the server would not take as a number.
    bool amountOf(const QVariant& value, std::int32_t itemFamily, double& amount);
    void disable();
    std::vector<double> openings(db::Connection& connection, const DateValue& currencyFrom,
                                 const DateValue& roublesFrom);
    std::vector<std::int32_t> candidateRows(const std::vector<double>& openings, double threshold);
    void storeCandidates(db::Connection& connection, const std::vector<std::int32_t>& rows);

    const bool exact_;
    int id_ = -1, dd_ = -1, typ_ = -1, saldo_ = -1, delta_ = -1;
    bool usable_ = true;
    std::size_t stored_ = 0;
    std::int32_t rows_ = 0;
    QHash<QString, int> items_;
    QHash<QString, int> dates_;
    LastText lastItem_;
    LastText lastDate_;
    QVariant lastDateValue_;
    std::vector<Turnover> turnovers_;
    std::vector<Depreciation> depreciation_;
    std::vector<bool> inexact_; // by item and family: an amount with more than four decimals
};

} // namespace svod::checks

#pragma once

#include <QString>
#include <functional>

#include "checks/ProtocolStore.h"
#include "db/DateValue.h"

namespace svod::db {
class Connection;
class Dialect;
} // namespace svod::db

namespace svod::checks {

// The branch's earliest dates from which accepted movements may still be replaced; day 0 means no limit.
struct BranchLimits {
    DateValue CurrencyLimit{0.0};
    DateValue RoublesLimit{0.0};
};

// What the checks against the accepted history read of the reception under way.
struct HistoryContext {
    QString FilialCode;
    DateValue CurrencyFrom = DateValue::noDate();
    DateValue RoublesFrom = DateValue::noDate();
    BranchLimits limits;
    ProtocolHeader header;
    // The residual-value check judges only the rows of the table of ResidualCandidates.
    bool residualCandidates = false;
    // Builds TEMP2's lookup index before the first check that needs it; empty when it exists.
    std::function<void()> indexBalanceRows;
};

namespace statements {
QString filialVarDate(const db::Dialect& d, const QString& column, const QString& code);
QString varNum(const db::Dialect& d, const QString& label, const DateValue& date);
QString deletedInInvalidPeriod(const db::Dialect& d, const QString& code, const BranchLimits& limits);
QString bstNotZero(const db::Dialect& d, const DateValue& currencyFrom, const DateValue& roublesFrom);
QString negativeOstst(const db::Dialect& d, const DateValue& currencyFrom, const DateValue& roublesFrom,
                      const QString& currencyThreshold, const QString& roublesThreshold,
                      bool candidatesOnly = false);
QString checkType(const db::Dialect& d, const QString& code);
// Appended in check mode 1: only the latest row of each item and plane is judged.
QString latestRowOnly(const db::Dialect& d);
} // namespace statements

// A date column of the branch's FILIALS row; false when there is no row or the value is NULL.
bool GetFilialVarDate(db::Connection& connection, const QString& column, const QString& code,
                      DateValue& value);
// A numeric program variable in force on the day of `date` (later entries of that day do not count),
// rounded to four decimals; false when there is none.
bool GetVarNum(db::Connection& connection, const QString& label, double& value, const DateValue& date);

// D_MIN_VAL and D_MIN_RUB of the branch in whole days, 0 where unset.
BranchLimits loadBranchLimits(db::Connection& connection, const QString& code);
// The lines of ConfirmInvalidPeriods naming the families whose selection date lies before the limit;
// empty when the packet keeps to the limits.
QString invalidPeriodsText(const BranchLimits& limits, const DateValue& currencyFrom,
                           const DateValue& roublesFrom);
// The question and the immediate protocol's title start with this line.
QString invalidPeriodsHeadline();
// A threshold of the residual-value check as it goes into the statement: the process-wide form
// with its first "," turned into ".".
QString thresholdText(double amount);
// Both families accept no residual value below this.
inline constexpr double ResidualThreshold = 0.0;

// The checks that compare the packet with the accepted history, the branch's limits and the
// program variables. Like the packet's own checks they never stop the reception themselves.
class HistoryChecks {
public:
    using InfoFunction = std::function<void(const QString&)>;
    // A Yes/No question with the error icon; true for Yes.
    using AskFunction = std::function<bool(const QString&)>;

    HistoryChecks(db::Connection& connection, ProtocolStore& store, HistoryContext context, InfoFunction info,
                  AskFunction ask);

    void CheckDeletedInInvalidPeriod();
    void CheckBSTnotZero();
    void CheckHasNegativeOSTST();

private:
    void protocolOf(const QString& sql, const QString& title);
    void indexBalanceRows();

    db::Connection& connection_;
    ProtocolStore& store_;
    HistoryContext context_;
    InfoFunction info_;
    AskFunction ask_;
};

} // namespace svod::checks

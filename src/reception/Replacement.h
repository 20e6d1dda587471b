#pragma once

#include <QString>
#include <functional>

#include "db/DateValue.h"

namespace svod::db {
class Connection;
class Dialect;
} // namespace svod::db

namespace svod::reception {

class Interaction;

// What the replacement of a branch's data needs to know.
struct ReplacementPlan {
    QString FilialCode;
    DateValue CurrencyFrom = DateValue::noDate();
    DateValue RoublesFrom = DateValue::noDate();
    // Called inside the transaction once the branch's old rows are deleted; tests that kill a
    // reception half-way set it.
    std::function<void()> afterOldRowsDeleted;
};

namespace statements {
QString deleteCurrencyBalances(const db::Dialect& d, const QString& code, const DateValue& from);
QString deleteRoubleBalances(const db::Dialect& d, const QString& code, const DateValue& from);
QString deleteItems(const db::Dialect& d, const QString& code);
// ReceptionSql.
QString insertItems(const db::Dialect& d);
QString insertCurrencyBalances(const db::Dialect& d, const QString& code);
QString insertRoubleBalances(const db::Dialect& d, const QString& code);
QString createTemp1(const db::Dialect& d);
QString createTemp2(const db::Dialect& d);
// What the checks look the packet's balance rows up by.
const QStringList& temp2Key();
QString dropTemp(const db::Dialect& d, const QString& name);
} // namespace statements

// Replaces the branch's items and the balances from the selection dates on with the packet in
// the temporary tables, inside one transaction: all of it or nothing.
void replaceBranchData(db::Connection& connection, const ReplacementPlan& plan, Interaction& interaction);

} // namespace svod::reception

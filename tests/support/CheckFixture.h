#pragma once

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

#include "checks/ProtocolStore.h"
#include "db/Connection.h"
#include "reception/Replacement.h"
#include "support/TestDatabase.h"

namespace svod::test {

// A fresh database with the packet's temporary tables (TEMP1 items, TEMP2 balances) and the
// protocols the checks write; the packet checks and the history checks start from it.
class CheckFixture : public ::testing::TestWithParam<db::Backend> {
protected:
    // Derived fixtures return at once when this skipped the test.
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(GetParam());
        db_ = std::make_unique<TestDatabase>(GetParam());
        db_->createSchema();
        const db::Dialect& d = c().dialect();
        c().execute(d.selectTop0IntoTemp(QStringLiteral("TEMP1"), QStringLiteral("INV")));
        c().execute(reception::statements::createTemp2(d));
    }
    db::Connection& c() { return db_->connection(); }
    QString temp(const char* name) { return c().dialect().tempTable(QString::fromLatin1(name)); }

    // Column `column` of every row of protocol `protocol`, sorted.
    QStringList cells(int protocol, int column = 0) const {
        QStringList result;
        for (const QStringList& row : store_.protocols()[protocol].rows)
            result << row[column];
        result.sort();
        return result;
    }

    std::unique_ptr<TestDatabase> db_;
    checks::ProtocolStore store_;
    QStringList infos_;
};

} // namespace svod::test

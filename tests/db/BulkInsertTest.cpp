// The bulk loaders on real backends: the native path is taken, values arrive as Qt SQL binds
// them (NULLs, texts with quotes, tabs and backslashes, Cyrillic, numbers, dates), and a value the
// column refuses surfaces as DbError with the server's message.
#include <QSqlQuery>
#include <gtest/gtest.h>

#include "db/BulkInsert.h"
#include "db/Connection.h"
#include "db/Error.h"
#include "db/PostgresCopy.h"
#include "db/Schema.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::db;
using svod::test::TestDatabase;

class BulkInsertTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(GetParam());
        db_ = std::make_unique<TestDatabase>(GetParam());
        db_->createSchema();
        c().execute(d().selectTop0IntoTemp(QStringLiteral("TEMP2"), QStringLiteral("INV_OST")));
    }
    Connection& c() { return db_->connection(); }
    const Dialect& d() { return c().dialect(); }
    QString temp2() { return d().tempTable(QStringLiteral("TEMP2")); }
    std::unique_ptr<BulkInsert> loader() { return makeBulkInsert(c(), temp2(), balanceColumnNames()); }
    void addRow(BulkInsert& insert, const QVariantList& values) {
        for (const QVariant& value : values)
            insert.add(d().toDbValue(value));
        insert.endRow();
    }
    int count(const QString& where) {
        return c()
            .scalar(QStringLiteral("select count(*) from ") + temp2() + QStringLiteral(" where ") + where)
            .toInt();
    }

    std::unique_ptr<TestDatabase> db_;
};

TEST_P(BulkInsertTest, TakesTheBackendsOwnPath) {
    const auto insert = loader();
    EXPECT_EQ(insert->method(), GetParam() == Backend::SQLite ? BulkInsert::Method::SqliteLibrary
                                                              : BulkInsert::Method::PostgresCopy);
}

TEST_P(BulkInsertTest, ValuesArriveAsBound) {
    Transaction transaction(c());
    {
        const auto insert = loader();
        addRow(*insert, {QStringLiteral("A'1\t\\x\nЖ"), QStringLiteral("01"), QDate(2005, 1, 31),
                         QStringLiteral("1"), 100.25, -0.1});
        addRow(*insert, {QStringLiteral("B"), QString(), QDate(), QVariant(), 3, QVariant()});
        insert->flush();
        // A packet's balances need no text parsed by the server.
        if (GetParam() == Backend::PostgreSQL) {
            EXPECT_TRUE(dynamic_cast<PostgresCopy&>(*insert).binaryFormat());
        }
        addRow(*insert, {QStringLiteral(""), QStringLiteral("**"), QDate(2006, 12, 1), QStringLiteral("2"),
                         qint64(1234567890123), 0.00015});
        insert->flush();
        insert->flush(); // nothing pending: nothing sent
        insert->finish();
    }
    transaction.commit();
    EXPECT_EQ(count(QStringLiteral("1=1")), 3);
    EXPECT_EQ(count(QStringLiteral("ID = 'A''1\t\\x\nЖ' and KOD_F = '01' and TYP = '1' and SALDO = 100.25 "
                                   "and DELTA = -0.1 and DD = ") +
                    d().dateLiteral(DateValue::fromYmd(2005, 1, 31))),
              1);
    EXPECT_EQ(count(QStringLiteral("ID = 'B' and KOD_F is null and DD is null and TYP is null and SALDO = 3 "
                                   "and DELTA is null")),
              1);
    // An empty text stays an empty text, not NULL.
    EXPECT_EQ(count(QStringLiteral("ID = '' and DD = ") + d().dateLiteral(DateValue::fromYmd(2006, 12, 1)) +
                    QStringLiteral(" and SALDO = 1234567890123")),
              1);
    // The server rounds the decimal text Qt SQL would send, not the nearest binary double's digits.
    if (GetParam() == Backend::PostgreSQL) {
        EXPECT_EQ(count(QStringLiteral("ID = '' and DELTA = 0.0002")), 1);
    }
}

TEST_P(BulkInsertTest, RefusedValueIsADbErrorAndTheConnectionStaysUsable) {
    if (GetParam() == Backend::SQLite)
        GTEST_SKIP() << "SQLite keeps any text length";
    {
        Transaction transaction(c());
        const auto insert = loader();
        addRow(*insert, {QStringLiteral("X"), QStringLiteral("too long"), QDate(2005, 1, 31),
                         QStringLiteral("1"), 1, 1});
        try {
            insert->flush();
            insert->finish();
            FAIL() << "no error";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("character varying(2)"))) << e.what();
        }
    }
    EXPECT_EQ(count(QStringLiteral("1=1")), 0);
}

TEST_P(BulkInsertTest, BatchesOfManyRowsKeepEveryRow) {
    Transaction transaction(c());
    {
        const auto insert = loader();
        for (int batch = 0; batch < 2; ++batch) {
            for (int row = 0; row < 1001; ++row) {
                const int n = batch * 1001 + row;
                addRow(*insert,
                       {QStringLiteral("I%1").arg(n), QStringLiteral("01"), QDate(2005, 1, 1 + n % 28),
                        QString::number(1 + n % 4), double(n), n % 3 ? QVariant(n * 0.5) : QVariant()});
            }
            insert->flush();
        }
        insert->finish();
    }
    transaction.commit();
    EXPECT_EQ(count(QStringLiteral("1=1")), 2002);
    EXPECT_EQ(count(QStringLiteral("DELTA is null")), 668);
    for (const int n : {0, 63, 64, 1000, 1001, 2001})
        EXPECT_EQ(
            count(QStringLiteral("ID = 'I%1' and SALDO = %1 and TYP = '%2' and DD = ").arg(n).arg(1 + n % 4) +
                  d().dateLiteral(DateValue::fromYmd(2005, 1, 1 + n % 28))),
            1)
            << n;
}

TEST_P(BulkInsertTest, LoadLeftUnfinishedLeavesTheConnectionUsable) {
    {
        Transaction transaction(c());
        const auto insert = loader();
        addRow(*insert,
               {QStringLiteral("X"), QStringLiteral("01"), QDate(2005, 1, 31), QStringLiteral("1"), 1, 1});
        insert->flush();
        addRow(*insert,
               {QStringLiteral("Y"), QStringLiteral("01"), QDate(2005, 1, 31), QStringLiteral("1"), 1, 1});
        // Destroyed unfinished, as when a cancel ends the copy; the transaction rolls back.
    }
    EXPECT_EQ(count(QStringLiteral("1=1")), 0);
    Transaction transaction(c());
    const auto insert = loader();
    addRow(*insert,
           {QStringLiteral("Z"), QStringLiteral("01"), QDate(2005, 1, 31), QStringLiteral("1"), 1, 1});
    insert->finish();
    transaction.commit();
    EXPECT_EQ(count(QStringLiteral("ID = 'Z'")), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, BulkInsertTest, ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });

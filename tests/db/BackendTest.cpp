// The dialect blocks and the schema on real backends: SQLite always, PostgreSQL when the test
// script started a server.
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

#include "db/Branches.h"
#include "db/Connection.h"
#include "db/Error.h"
#include "db/Schema.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::db;
using svod::test::TestDatabase;

class BackendTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(GetParam());
        db_ = std::make_unique<TestDatabase>(GetParam());
        db_->createSchema();
    }
    Connection& c() { return db_->connection(); }
    const Dialect& d() { return c().dialect(); }

    void insertBalance(const QString& table, const QString& id, const QString& kod, const QDateTime& dd,
                       const QString& typ, double saldo, double delta = 0) {
        QSqlQuery q =
            c().prepare(QStringLiteral("insert into ") + table +
                        QStringLiteral(" (ID, KOD_F, DD, TYP, SALDO, DELTA) values (?, ?, ?, ?, ?, ?)"));
        c().execPrepared(q, {id, kod, dd, typ, saldo, delta});
    }
    int count(const QString& sql) { return c().scalar(sql).toInt(); }

    std::unique_ptr<TestDatabase> db_;
};

TEST_P(BackendTest, SchemaIsCompleteAndCreatingItAgainChangesNothing) {
    const QStringList invColumns = invColumnNames();
    ASSERT_EQ(invColumns.size(), 29);
    QSqlQuery q = c().query(QStringLiteral("select * from INV"));
    QSqlRecord record = q.record();
    ASSERT_EQ(record.count(), 29);
    for (int i = 0; i < 29; ++i)
        EXPECT_EQ(record.fieldName(i).toUpper(), invColumns[i]);
    for (const char* table : {"INV_OST", "INV_OST3", "INV_INFL"}) {
        QSqlQuery b = c().query(QStringLiteral("select * from ") + QString::fromLatin1(table));
        ASSERT_EQ(b.record().count(), 6) << table;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(b.record().fieldName(i).toUpper(), balanceColumnNames()[i]) << table;
    }
    for (const char* table : {"FILIALS", "CLT", "LOG_ACCEPT", "REPORT"})
        EXPECT_NO_THROW(c().query(QStringLiteral("select * from ") + QString::fromLatin1(table))) << table;
    EXPECT_EQ(c().query(QStringLiteral("select * from FILIALS")).record().count(), 7);
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("X"), QStringLiteral("01"),
                  QDateTime(QDate(2005, 1, 1), QTime(0, 0)), QStringLiteral("1"), 1);
    EXPECT_NO_THROW(db_->createSchema());
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST")), 1);
}

TEST_P(BackendTest, UniqueIndexesRefuseRepeatedBalanceRows) {
    const QDateTime dd(QDate(2005, 1, 31), QTime(0, 0));
    insertBalance(QStringLiteral("INV_OST3"), QStringLiteral("A1"), QStringLiteral("01"), dd,
                  QStringLiteral("3"), 5);
    EXPECT_THROW(insertBalance(QStringLiteral("INV_OST3"), QStringLiteral("A1"), QStringLiteral("01"), dd,
                               QStringLiteral("3"), 6),
                 DbError);
}

TEST_P(BackendTest, DayBeforeLiteralSelectsThePreviousDay) {
    for (int day = 1; day <= 3; ++day)
        insertBalance(QStringLiteral("INV_OST"), QStringLiteral("D%1").arg(day), QStringLiteral("01"),
                      QDateTime(QDate(2005, 3, day), QTime(0, 0)), QStringLiteral("1"), day);
    const DateValue march2 = DateValue::fromYmd(2005, 3, 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where DD = ") +
                    d().dateLiteralPlusDays(march2, -1)),
              1);
    EXPECT_EQ(
        c().scalar(QStringLiteral("select ID from INV_OST where DD = ") + d().dateLiteralPlusDays(march2, -1))
            .toString(),
        QStringLiteral("D1"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where DD <= ") + d().dateLiteral(march2)),
              2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where ") +
                    d().addDays(QStringLiteral("DD"), 1) + QStringLiteral(" = ") + d().dateLiteral(march2)),
              1);
    // Across a month end and a leap day.
    const DateValue march1 = DateValue::fromYmd(2004, 3, 1);
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("L"), QStringLiteral("01"),
                  QDateTime(QDate(2004, 2, 29), QTime(0, 0)), QStringLiteral("1"), 0);
    EXPECT_EQ(
        c().scalar(QStringLiteral("select ID from INV_OST where DD = ") + d().dateLiteralPlusDays(march1, -1))
            .toString(),
        QStringLiteral("L"));
}

TEST_P(BackendTest, OstatIsTheLatestBalanceBeforeThePeriodStart) {
    const auto at = [](int y, int m, int dd) { return QDateTime(QDate(y, m, dd), QTime(0, 0)); };
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("I1"), QStringLiteral("01"), at(2004, 11, 30),
                  QStringLiteral("1"), 100);
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("I1"), QStringLiteral("01"), at(2004, 12, 31),
                  QStringLiteral("1"), 150);
    // On and after the start: not part of the accepted balance before it.
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("I1"), QStringLiteral("01"), at(2005, 1, 1),
                  QStringLiteral("1"), 999);
    // Plane 2 and another item must not leak in.
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("I1"), QStringLiteral("01"), at(2004, 12, 31),
                  QStringLiteral("2"), 40);
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("I2"), QStringLiteral("01"), at(2004, 12, 31),
                  QStringLiteral("1"), 7);
    // A row of another branch counts: look-ups match on ID only.
    insertBalance(QStringLiteral("INV_OST3"), QStringLiteral("I1"), QStringLiteral("02"), at(2004, 6, 30),
                  QStringLiteral("3"), 3000);
    // A time of day on the last day before the start still counts as that day.
    insertBalance(QStringLiteral("INV_OST3"), QStringLiteral("I3"), QStringLiteral("01"),
                  QDateTime(QDate(2004, 12, 31), QTime(15, 30)), QStringLiteral("3"), 33);

    const DateValue start = DateValue::fromYmd(2005, 1, 1);
    auto ostat = [&](const QString& id, int plane) {
        return c()
            .scalar(QStringLiteral("select ") + d().ostat(d().quote(id), start, plane) +
                    QStringLiteral(" as V"))
            .toDouble();
    };
    EXPECT_DOUBLE_EQ(ostat(QStringLiteral("I1"), 1), 150);
    EXPECT_DOUBLE_EQ(ostat(QStringLiteral("I2"), 1), 7);
    EXPECT_DOUBLE_EQ(ostat(QStringLiteral("I1"), 3), 3000);
    EXPECT_DOUBLE_EQ(ostat(QStringLiteral("I3"), 3), 33);
    // Nothing accepted: NULL read as 0.
    EXPECT_DOUBLE_EQ(ostat(QStringLiteral("NONE"), 1), 0);
    EXPECT_DOUBLE_EQ(ostat(QStringLiteral("I2"), 3), 0);
    // The call inside a statement over a table, as the checks use it.
    c().execute(d().selectTop0IntoTemp(QStringLiteral("TEMP1"), QStringLiteral("INV")));
    c().execute(QStringLiteral("insert into ") + d().tempTable(QStringLiteral("TEMP1")) +
                QStringLiteral(" (ID, KOD_F) values ('I1','01'), ('NONE','01')"));
    QSqlQuery q = c().query(QStringLiteral("select A.ID, ") + d().ostat(QStringLiteral("A.ID"), start, 1) +
                            QStringLiteral(" as BST from ") + d().tempTable(QStringLiteral("TEMP1")) +
                            QStringLiteral(" A order by A.ID"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("I1"));
    EXPECT_DOUBLE_EQ(q.value(1).toDouble(), 150);
    ASSERT_TRUE(q.next());
    EXPECT_DOUBLE_EQ(q.value(1).toDouble(), 0);
}

TEST_P(BackendTest, TemporaryTableIsPrivateToItsConnection) {
    c().execute(d().selectTop0IntoTemp(QStringLiteral("TEMP2"), QStringLiteral("INV_OST")));
    c().execute(QStringLiteral("insert into ") + d().tempTable(QStringLiteral("TEMP2")) +
                QStringLiteral(" (ID, KOD_F, TYP) values ('X', '01', '1')"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from ") + d().tempTable(QStringLiteral("TEMP2"))), 1);
    auto second = db_->openSecond();
    EXPECT_THROW(
        second->query(QStringLiteral("select count(*) from ") + d().tempTable(QStringLiteral("TEMP2"))),
        DbError);
    // The copy has the model's columns in the model's order.
    QSqlQuery q = c().query(QStringLiteral("select * from ") + d().tempTable(QStringLiteral("TEMP2")));
    ASSERT_EQ(q.record().count(), 6);
    EXPECT_EQ(q.record().fieldName(2).toUpper(), QStringLiteral("DD"));
    q.finish();
    // Indexes after loading are allowed.
    EXPECT_NO_THROW(c().execute(
        d().indexTempTable(QStringLiteral("TEMP2"), {QStringLiteral("ID"), QStringLiteral("TYP")})));
    c().execute(QStringLiteral("drop table ") + d().tempTable(QStringLiteral("TEMP2")));
}

TEST_P(BackendTest, RolledBackTransactionLeavesTablesAsBefore) {
    const QDateTime dd(QDate(2005, 1, 31), QTime(0, 0));
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("KEEP"), QStringLiteral("01"), dd,
                  QStringLiteral("1"), 1);
    {
        Transaction t(c());
        c().execute(QStringLiteral("delete from INV_OST where KOD_F = '01'"));
        insertBalance(QStringLiteral("INV_OST"), QStringLiteral("NEW"), QStringLiteral("01"), dd,
                      QStringLiteral("1"), 2);
        EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where ID = 'NEW'")), 1);
        // Leaves without commit.
    }
    EXPECT_FALSE(c().inTransaction());
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where ID = 'KEEP'")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where ID = 'NEW'")), 0);

    // An error inside the transaction is reported with the server's text and rolls back too.
    try {
        Transaction t(c());
        c().execute(QStringLiteral("delete from INV_OST"));
        c().execute(QStringLiteral("insert into NO_SUCH_TABLE values (1)"));
        t.commit();
        FAIL() << "the insert must fail";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("NO_SUCH_TABLE"), Qt::CaseInsensitive)) << e.what();
    }
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST")), 1);
}

TEST_P(BackendTest, AmountsOfTwoDecimalsCompareExactly) {
    const QDateTime dd(QDate(2005, 1, 31), QTime(0, 0));
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("A"), QStringLiteral("01"), dd,
                  QStringLiteral("1"), 0.10);
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("B"), QStringLiteral("01"), dd,
                  QStringLiteral("1"), 0.70);
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("C"), QStringLiteral("01"), dd,
                  QStringLiteral("2"), 0.80);
    const QString residual =
        d().exactAmount(QStringLiteral("sum(case when TYP = '1' then SALDO else 0 end) - "
                                       "sum(case when TYP = '2' then SALDO else 0 end)"));
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from INV_OST having ") + residual + QStringLiteral(" < 0")), 0);
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from INV_OST having ") + residual + QStringLiteral(" = 0")), 3);
    // One cent below zero is still seen.
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("D"), QStringLiteral("01"), dd,
                  QStringLiteral("2"), 0.01);
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from INV_OST having ") + residual + QStringLiteral(" < 0")), 4);
    EXPECT_NEAR(c().scalar(QStringLiteral("select ") + residual + QStringLiteral(" from INV_OST")).toDouble(),
                -0.01, 1e-9);
}

TEST_P(BackendTest, GetFilNameFindsTheBranchOrSaysSo) {
    QSqlQuery q = c().prepare(QStringLiteral("insert into FILIALS (KOD, NAZVANIE) values (?, ?)"));
    c().execPrepared(q, {QStringLiteral("01"), QStringLiteral("Филиал «Север»")});
    c().execPrepared(q, {QStringLiteral("0'"), QStringLiteral("Д'Артаньян")});
    EXPECT_EQ(GetFilName(c(), QStringLiteral("01")), QStringLiteral("Филиал «Север»"));
    EXPECT_EQ(GetFilName(c(), QStringLiteral("07")), QStringLiteral(" !Не найден филиал с номером 07 ! "));
    // An apostrophe neither breaks the statement nor widens it.
    EXPECT_EQ(GetFilName(c(), QStringLiteral("0'")), QStringLiteral("Д'Артаньян"));
    EXPECT_EQ(GetFilName(c(), QStringLiteral("x' or '1'='1")),
              QStringLiteral(" !Не найден филиал с номером x' or '1'='1 ! "));
}

TEST_P(BackendTest, TableExistenceTest) {
    EXPECT_EQ(count(d().tableExistsQuery(QStringLiteral("INV_OST3"))), 1);
    EXPECT_EQ(
        count(d().tableExistsQuery(d().ownerPrefix(QString()) + QStringLiteral("TEMP_MU_MSFO_SBROS_A"))), 0);
    c().execute(QStringLiteral("create table TEMP_MU_MSFO_SBROS_A (ID varchar(10))"));
    EXPECT_EQ(
        count(d().tableExistsQuery(d().ownerPrefix(QString()) + QStringLiteral("TEMP_MU_MSFO_SBROS_A"))), 1);
}

TEST_P(BackendTest, DatesRoundTrip) {
    const QDateTime withTime(QDate(2005, 2, 3), QTime(14, 5, 6));
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("T"), QStringLiteral("01"), withTime,
                  QStringLiteral("1"), 1);
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("U"), QStringLiteral("01"),
                  QDateTime(QDate(2005, 2, 3), QTime(0, 0)), QStringLiteral("1"), 1);
    const QVariant stored = c().scalar(QStringLiteral("select DD from INV_OST where ID = 'T'"));
    EXPECT_EQ(DateValue::fromVariant(stored).dateTime(), withTime);
    if (GetParam() == Backend::SQLite) {
        // ISO text that SQLite's own functions and tools read, ordered as text.
        EXPECT_EQ(stored.toString(), QStringLiteral("2005-02-03 14:05:06"));
        EXPECT_EQ(c().scalar(QStringLiteral("select DD from INV_OST where ID = 'U'")).toString(),
                  QStringLiteral("2005-02-03 00:00:00"));
        EXPECT_EQ(c().scalar(QStringLiteral("select date(DD) from INV_OST where ID = 'T'")).toString(),
                  QStringLiteral("2005-02-03"));
    }
    // A date with a time is on that day: after the day's literal, before the next day's.
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where ID = 'T' and DD >= ") +
                    d().dateLiteral(DateValue::fromYmd(2005, 2, 3)) + QStringLiteral(" and DD < ") +
                    d().dateLiteralPlusDays(DateValue::fromYmd(2005, 2, 3), 1)),
              1);
}

INSTANTIATE_TEST_SUITE_P(Backends, BackendTest, ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });

#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

#include "db/BulkInsert.h"
#include "db/Connection.h"
#include "db/Error.h"
#include "support/TestDatabase.h"

using namespace svod;

namespace {

// The SQLite table kept in memory must answer every query exactly as a temporary table on disk of
// the same model would: same rows, same order where ordered, same storage types.
class MemoryTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = std::make_unique<test::TestDatabase>(db::Backend::SQLite);
        c().execute(QStringLiteral("create table MODEL (ID VARCHAR(50), KOD_F VARCHAR(2), DD DATETIME, "
                                   "TYP VARCHAR(1), SALDO DECIMAL(19,4), DELTA DECIMAL(19,4))"));
        c().execute(QStringLiteral("create temp table DISK as select * from MODEL where 0"));
        c().execute(QStringLiteral("create virtual table temp.MEM using svod_memory(MODEL, ID, TYP, DD)"));
    }

    db::Connection& c() { return db_->connection(); }

    // Every row of a query, values with their storage types, as text.
    QStringList rows(const QString& sql) {
        QSqlQuery query = c().query(sql);
        QStringList result;
        while (query.next()) {
            QStringList values;
            for (int i = 0; i < query.record().count(); ++i)
                values << (query.value(i).isNull() ? QStringLiteral("NULL") : query.value(i).toString());
            result << values.join(u'|');
        }
        return result;
    }

    // The same query on both tables (TABLE stands for the table's name).
    void expectSame(const QString& sql) {
        QString onDisk = sql;
        QString inMemory = sql;
        onDisk.replace(QStringLiteral("TABLE"), QStringLiteral("temp.DISK"));
        inMemory.replace(QStringLiteral("TABLE"), QStringLiteral("temp.MEM"));
        EXPECT_EQ(rows(inMemory), rows(onDisk)) << sql.toStdString();
    }

    void insertBoth(const QString& values) {
        for (const QString& table : {QStringLiteral("temp.DISK"), QStringLiteral("temp.MEM")})
            c().execute(QStringLiteral("insert into ") + table + QStringLiteral(" values ") + values);
    }

    int count(const QString& table) {
        return c().scalar(QStringLiteral("select count(*) from ") + table).toInt();
    }

    std::unique_ptr<test::TestDatabase> db_;
};

const QString AllColumns = QStringLiteral("ID, typeof(ID), KOD_F, DD, typeof(DD), TYP, SALDO, typeof(SALDO), "
                                          "DELTA, typeof(DELTA)");

TEST_F(MemoryTableTest, StoresValuesWithTheModelsAffinities) {
    insertBoth(QStringLiteral("('A1','01','2005-01-31 00:00:00','1',100.5,100.5),"
                              "(12,'01','2005-02-28 00:00:00','1',100,0)," // number into a text column
                              "('A1','01','2005-02-28 00:00:00','1','100.5','0')," // numeric texts
                              "('A1','01','2005-02-28 00:00:00','2',2.0,1e3),"     // whole reals
                              "('a1',NULL,NULL,NULL,NULL,'abc'),"                  // text in a number column
                              "(NULL,'**','2005-01-01 00:00:00','3',0,0),"
                              "(x'41',  '01','2005-03-31 00:00:00','1',-0.25,1.5)")); // a blob
    expectSame(QStringLiteral("select ") + AllColumns + QStringLiteral(" from TABLE order by rowid"));
    expectSame(QStringLiteral("select ") + AllColumns +
               QStringLiteral(" from TABLE order by ID, TYP, DD, rowid"));
}

TEST_F(MemoryTableTest, LookUpsByKeyFindWhatTheDiskTableFinds) {
    // Items in no particular order, several planes and dates, repeated keys, a NULL key.
    QStringList values;
    for (int item = 9; item >= 0; --item)
        for (int month = 1; month <= 3; ++month)
            for (int plane = 1; plane <= 2; ++plane)
                values << QStringLiteral("('I%1','01','2005-0%2-01 00:00:00','%3',%4,%5)")
                              .arg(item)
                              .arg(month)
                              .arg(plane)
                              .arg(item * 10 + month)
                              .arg(month);
    values << QStringLiteral("('I3','01','2005-02-01 00:00:00','1',7,7)") // the same key again
           << QStringLiteral("(NULL,'01','2005-02-01 00:00:00','1',1,1)");
    insertBoth(values.join(u','));

    expectSame(QStringLiteral("select ID, TYP, DD, SALDO from TABLE where ID = 'I3' order by rowid"));
    expectSame(QStringLiteral("select count(*) from TABLE where ID = 'I3' and TYP = '1'"));
    expectSame(QStringLiteral("select count(*) from TABLE where ID = 'nope'"));
    expectSame(QStringLiteral("select count(*) from TABLE where ID = NULL"));
    expectSame(QStringLiteral("select count(*) from TABLE where ID is NULL"));
    // The shape of the balance checks: a correlated sum per row.
    expectSame(QStringLiteral("select A.ID, A.DD, (select sum(B.DELTA) from TABLE B where B.ID = A.ID and "
                              "B.TYP = '1' and B.DD <= A.DD) from TABLE A where A.TYP = '2' order by 1, 2"));
    expectSame(QStringLiteral("select ID from TABLE B where not exists (select 1 from TABLE X where X.ID = "
                              "B.ID and X.TYP = '2') order by 1"));
    // Case-insensitive comparison is not byte equality: no direct look-up may answer it.
    expectSame(QStringLiteral("select count(*) from TABLE where ID = 'i3' collate nocase"));
    // A number compared with the text column is compared as its text.
    c().execute(QStringLiteral("insert into temp.DISK values ('5','01',NULL,'1',1,1)"));
    c().execute(QStringLiteral("insert into temp.MEM values ('5','01',NULL,'1',1,1)"));
    expectSame(QStringLiteral("select count(*) from TABLE where ID = 5"));
    // Reading returns the rows in key order.
    EXPECT_EQ(rows(QStringLiteral("select ID, TYP, DD from temp.MEM")),
              rows(QStringLiteral("select ID, TYP, DD from temp.DISK order by ID, TYP, DD, rowid")));
}

TEST_F(MemoryTableTest, DateRangesWithinAnItemFindWhatTheDiskTableFinds) {
    // Dates as texts, a NULL, numbers and a blob in the date column; repeated dates.
    insertBoth(
        QStringLiteral("('I','01','2005-01-31 00:00:00','1',1,1),('I','01','2005-02-28 00:00:00','1',2,2),"
                       "('I','01','2005-02-28 00:00:00','1',3,3),('I','01','2005-03-31 00:00:00','1',4,4),"
                       "('I','01',NULL,'1',5,5),('I','01',20050101,'1',6,6),('I','01',7.5,'1',7,7),"
                       "('I','01',x'00','1',8,8),('I','01','2005-02-28 00:00:00','2',9,9),"
                       "('J','01','2005-02-28 00:00:00','1',10,10)"));
    for (const QString& condition :
         {QStringLiteral("DD <= '2005-02-28 00:00:00'"), QStringLiteral("DD < '2005-02-28 00:00:00'"),
          QStringLiteral("DD >= '2005-02-28 00:00:00'"), QStringLiteral("DD > '2005-02-28 00:00:00'"),
          QStringLiteral("DD >= '2005-02-01' and DD < '2005-04-01'"), QStringLiteral("DD > 'z' and DD < 'a'"),
          QStringLiteral("DD <= 20050101"), QStringLiteral("DD <= '20050101'"), QStringLiteral("DD > 7"),
          QStringLiteral("DD < x'01'"), QStringLiteral("DD <= NULL"), QStringLiteral("DD >= '2005-13'")})
        expectSame(QStringLiteral("select SALDO from TABLE where ID = 'I' and TYP = '1' and ") + condition +
                   QStringLiteral(" order by SALDO"));
    // The correlated form of the checks, the bound coming from another row.
    expectSame(
        QStringLiteral("select A.SALDO, (select group_concat(B.SALDO) from (select * from TABLE order by "
                       "SALDO) B where B.ID = A.ID and B.TYP = '1' and B.DD <= A.DD) from TABLE A order "
                       "by A.SALDO"));
    expectSame(
        QStringLiteral("select A.SALDO, (select sum(B.SALDO) from TABLE B where B.ID = A.ID and B.TYP = "
                       "'1' and B.DD <= A.DD) from TABLE A order by A.SALDO"));
}

TEST_F(MemoryTableTest, PacketOrderedRowsComeOutInKeyOrder) {
    // As packets list them: a header row, then item by item, month by month, plane by plane.
    QStringList values{QStringLiteral("(NULL,'**','2005-01-01 00:00:00','1',0,0)")};
    for (int item = 1; item <= 4; ++item)
        for (int month = 3; month >= 1; --month)
            for (int plane = 4; plane >= 1; --plane)
                values << QStringLiteral("('I%1','01','2005-0%2-01 00:00:00','%3',%4,1)")
                              .arg(item)
                              .arg(month)
                              .arg(plane)
                              .arg(item * 100 + month * 10 + plane);
    insertBoth(values.join(u','));
    EXPECT_EQ(rows(QStringLiteral("select ID, TYP, DD, SALDO from temp.MEM")),
              rows(QStringLiteral("select ID, TYP, DD, SALDO from temp.DISK order by ID, TYP, DD, rowid")));
    expectSame(QStringLiteral("select A.ID, A.DD, (select sum(B.SALDO) from TABLE B where B.ID = A.ID and "
                              "B.TYP = '3' and B.DD <= A.DD) from TABLE A where A.TYP = '4' order by 1, 2"));
}

TEST_F(MemoryTableTest, BulkInsertConvertsAsAnInsertWould) {
    for (const QString& table : {QStringLiteral("temp.DISK"), QStringLiteral("temp.MEM")}) {
        db::Transaction transaction(c());
        auto inserter = db::makeBulkInsert(
            c(), table,
            {QStringLiteral("DELTA"), QStringLiteral("ID"), QStringLiteral("DD"), QStringLiteral("SALDO")});
        const QVariantList rowValues[] = {
            {1.5, QStringLiteral("Б-1"), QStringLiteral("2005-01-31 00:00:00"), 3.0},
            {QVariant(), 42, QStringLiteral("12"), QStringLiteral("7.25")},
            {-2.0, QString(), QVariant(QMetaType::fromType<QString>()), qlonglong(1) << 40},
            {0.1, 3.75, QStringLiteral("x"), QStringLiteral("1e2")},
        };
        for (const QVariantList& row : rowValues) {
            for (const QVariant& value : row)
                inserter->add(value);
            inserter->endRow();
        }
        // One shared string handed on over several rows, then changed in place.
        QString shared = QStringLiteral("same");
        for (int i = 0; i < 3; ++i) {
            if (i == 2)
                shared[0] = u'S';
            for (const QVariant& value : QVariantList{i, shared, shared, i})
                inserter->add(value);
            inserter->endRow();
        }
        inserter->finish();
        transaction.commit();
    }
    expectSame(QStringLiteral("select ") + AllColumns + QStringLiteral(" from TABLE order by rowid"));
}

TEST_F(MemoryTableTest, RollbacksTakeAppendedRowsBack) {
    c().execute(QStringLiteral("insert into temp.MEM values ('kept','01',NULL,'1',1,1)"));
    {
        db::Transaction transaction(c());
        c().execute(QStringLiteral("insert into temp.MEM values ('gone','01',NULL,'1',1,1)"));
        auto inserter = db::makeBulkInsert(c(), QStringLiteral("temp.MEM"), {QStringLiteral("ID")});
        inserter->add(QStringLiteral("gone too"));
        inserter->endRow();
        inserter->finish();
        EXPECT_EQ(count(QStringLiteral("temp.MEM")), 3);
        // not committed: rolled back here
    }
    EXPECT_EQ(rows(QStringLiteral("select ID from temp.MEM")), QStringList{QStringLiteral("kept")});

    db::Transaction transaction(c());
    c().execute(QStringLiteral("insert into temp.MEM values ('second','01',NULL,'1',1,1)"));
    c().execute(QStringLiteral("savepoint S"));
    c().execute(QStringLiteral("insert into temp.MEM values ('undone','01',NULL,'1',1,1)"));
    c().execute(QStringLiteral("rollback to S"));
    c().execute(QStringLiteral("release S"));
    transaction.commit();
    EXPECT_EQ(rows(QStringLiteral("select ID from temp.MEM")),
              (QStringList{QStringLiteral("kept"), QStringLiteral("second")}));
}

TEST_F(MemoryTableTest, RowsSurviveSchemaChangesAndGoWithTheirTable) {
    insertBoth(QStringLiteral("('A','01',NULL,'1',1,1),('B','01',NULL,'1',2,2)"));
    c().execute(QStringLiteral("create table OTHER (X integer)"));
    c().execute(QStringLiteral("drop table OTHER"));
    EXPECT_EQ(count(QStringLiteral("temp.MEM")), 2);
    // Reading and appending to the same table in one statement.
    c().execute(QStringLiteral("insert into temp.MEM select * from temp.MEM"));
    EXPECT_EQ(count(QStringLiteral("temp.MEM")), 4);
    c().execute(QStringLiteral("drop table temp.MEM"));
    c().execute(QStringLiteral("create virtual table temp.MEM using svod_memory(MODEL, ID)"));
    EXPECT_EQ(count(QStringLiteral("temp.MEM")), 0);
}

TEST_F(MemoryTableTest, RefusesWhatItCannotKeep) {
    insertBoth(QStringLiteral("('A','01',NULL,'1',1,1)"));
    EXPECT_THROW(c().execute(QStringLiteral("delete from temp.MEM")), DbError);
    EXPECT_THROW(c().execute(QStringLiteral("update temp.MEM set SALDO = 0")), DbError);
    EXPECT_EQ(count(QStringLiteral("temp.MEM")), 1);
    // A memory table in the database's own schema would outlive the connection's rows.
    EXPECT_THROW(c().execute(QStringLiteral("create virtual table main.KEPT using svod_memory(MODEL)")),
                 DbError);
    EXPECT_THROW(c().execute(QStringLiteral("create virtual table temp.BAD using svod_memory(MODEL, NOPE)")),
                 DbError);
    EXPECT_THROW(c().execute(QStringLiteral("create virtual table temp.BAD using svod_memory(MISSING)")),
                 DbError);
}

} // namespace

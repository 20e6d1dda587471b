// COPY on PostgreSQL in the binary format: every kind of value a packet brings arrives as the text
// format stored it (numbers rounded to the column's scale by the server, dates, texts with tabs and
// Cyrillic, NULLs), values out of the column's range are refused, and a first batch the binary form
// cannot carry (a text into a numeric column) goes in the text format.
#include <QDateTime>
#include <gtest/gtest.h>

#include "db/BulkInsert.h"
#include "db/Connection.h"
#include "db/Error.h"
#include "db/PostgresCopy.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::db;
using svod::test::TestDatabase;

namespace {

class PostgresCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(Backend::PostgreSQL);
        db_ = std::make_unique<TestDatabase>(Backend::PostgreSQL);
        c().execute(
            QStringLiteral("create temp table T (S varchar(12), N numeric(19,4), D timestamp, DA date, "
                           "I integer, B bigint, F double precision, L boolean, Y bytea)"));
    }
    Connection& c() { return db_->connection(); }
    // Loads the rows in one COPY; whether it went in the binary format.
    bool load(const QList<QVariantList>& rows) {
        Transaction transaction(c());
        bool binary = false;
        {
            const auto insert =
                makeBulkInsert(c(), QStringLiteral("pg_temp.T"),
                               {QStringLiteral("S"), QStringLiteral("N"), QStringLiteral("D"),
                                QStringLiteral("DA"), QStringLiteral("I"), QStringLiteral("B"),
                                QStringLiteral("F"), QStringLiteral("L"), QStringLiteral("Y")});
            for (const QVariantList& row : rows) {
                for (const QVariant& value : row)
                    insert->add(value);
                insert->endRow();
            }
            insert->flush();
            binary = dynamic_cast<PostgresCopy&>(*insert).binaryFormat();
            insert->finish();
        }
        transaction.commit();
        return binary;
    }
    QString text(const QString& column, const QString& key) {
        return c()
            .scalar(QStringLiteral("select coalesce(") + column +
                    QStringLiteral("::text, 'NULL') from pg_temp.T where S = '") + key + u'\'')
            .toString();
    }
    QVariantList number(const QString& key, const QVariant& n) {
        return {key, n, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()};
    }

    std::unique_ptr<TestDatabase> db_;
};

TEST_F(PostgresCopyTest, EveryKindOfValueArrivesAsTheTextFormatStoredIt) {
    const QString odd = QStringLiteral("A'1\t\\x\nЖ");
    ASSERT_TRUE(load({
        {odd, 100.25, QDate(2005, 1, 31), QDate(1900, 2, 28), -5, qint64(-9000000000), 0.1, true,
         QByteArray("\0\1\xff", 3)},
        {QStringLiteral("dt"), qint64(1234567890123), QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58, 250)),
         QDate(2030, 7, 1), 2147483647, qint64(0), -2.5e-300, false, QByteArray("")},
        {QStringLiteral("nulls"), QVariant(), QDate(), QDate(), QVariant(), QVariant(), QVariant(),
         QVariant(), QByteArray()},
        {QString(), 0.0, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        number(QStringLiteral("half"), 0.00015),
        number(QStringLiteral("neghalf"), -0.00005),
        number(QStringLiteral("tiny"), 1e-05),
        number(QStringLiteral("exp"), 1e14),
        number(QStringLiteral("group"), 10000.0),
        number(QStringLiteral("frac"), 9999.9999),
        number(QStringLiteral("neg"), -12345678.9),
        number(QStringLiteral("long"), 123456789012345.1234),
        number(QStringLiteral("small"), 0.0001),
        number(QStringLiteral("int"), -7),
    }));
    EXPECT_EQ(
        c().scalar(QStringLiteral("select count(*) from pg_temp.T where S = ") + c().dialect().quote(odd))
            .toInt(),
        1);
    EXPECT_EQ(c().scalar(QStringLiteral("select count(*) from pg_temp.T where S is null and N = 0")).toInt(),
              1);
    const auto row = [&](const QString& key) {
        QStringList values;
        for (const char* column : {"N", "D", "DA", "I", "B", "F", "L", "encode(Y, 'hex')"})
            values << text(QLatin1String(column), key);
        return values.join(u'|');
    };
    EXPECT_EQ(c().scalar(QStringLiteral(
                             "select N::text || '|' || D::text || '|' || DA::text || '|' || I || '|' || B "
                             "|| '|' || (F = 0.1) || '|' || L || '|' || encode(Y, 'hex') from pg_temp.T "
                             "where S = ") +
                         c().dialect().quote(odd))
                  .toString(),
              QStringLiteral("100.2500|2005-01-31 00:00:00|1900-02-28|-5|-9000000000|true|true|0001ff"));
    EXPECT_EQ(
        row(QStringLiteral("dt")),
        QStringLiteral("1234567890123.0000|1999-12-31 23:59:58.25|2030-07-01|2147483647|0|-2.5e-300|false|"));
    EXPECT_EQ(row(QStringLiteral("nulls")), QStringLiteral("NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL"));
    // Rounded by the server to the column's scale from the digits the text format would send.
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("half")), QStringLiteral("0.0002"));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("neghalf")), QStringLiteral("-0.0001"));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("tiny")), QStringLiteral("0.0000"));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("exp")), QStringLiteral("100000000000000.0000"));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("group")), QStringLiteral("10000.0000"));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("frac")), QStringLiteral("9999.9999"));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("neg")), QStringLiteral("-12345678.9000"));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("long")), QStringLiteral("123456789012345.1200"));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("small")), QStringLiteral("0.0001"));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("int")), QStringLiteral("-7.0000"));
}

TEST_F(PostgresCopyTest, ValuesOutOfTheColumnsRangeAreRefused) {
    const auto refused = [&](const QVariantList& row, const QString& words) {
        try {
            load({row});
            ADD_FAILURE() << "no error for " << words.toStdString();
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().contains(words)) << e.what();
        }
        EXPECT_EQ(c().scalar(QStringLiteral("select count(*) from pg_temp.T")).toInt(), 0);
    };
    refused(number(QStringLiteral("big"), 1e20), QStringLiteral("numeric field overflow"));
    refused(number(QStringLiteral("inf"), std::numeric_limits<double>::infinity()),
            QStringLiteral("numeric"));
    refused({QStringLiteral("i"), QVariant(), QVariant(), QVariant(), qint64(3000000000), QVariant(),
             QVariant(), QVariant(), QVariant()},
            QStringLiteral("out of range for type integer"));
    refused(number(QStringLiteral("too long a key"), 1), QStringLiteral("character varying(12)"));
    // The connection stays usable.
    EXPECT_TRUE(load({number(QStringLiteral("after"), 1.5)}));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("after")), QStringLiteral("1.5000"));
}

TEST_F(PostgresCopyTest, TextForANumericColumnGoesInTheTextFormat) {
    EXPECT_FALSE(
        load({number(QStringLiteral("t"), QStringLiteral("12.50")), number(QStringLiteral("d"), 3.25)}));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("t")), QStringLiteral("12.5000"));
    EXPECT_EQ(text(QStringLiteral("N"), QStringLiteral("d")), QStringLiteral("3.2500"));
}

TEST_F(PostgresCopyTest, TextAfterABinaryBatchFollowsInTheTextFormat) {
    // A column NULL throughout the first batch, then texts: the rows before stay, the rest follows.
    Transaction transaction(c());
    {
        const auto insert = makeBulkInsert(c(), QStringLiteral("pg_temp.T"),
                                           {QStringLiteral("S"), QStringLiteral("N"), QStringLiteral("D")});
        const auto row = [&](const QVariantList& values) {
            for (const QVariant& value : values)
                insert->add(value);
            insert->endRow();
        };
        row({QStringLiteral("a"), QVariant(), QDate(2005, 1, 31)});
        insert->flush();
        EXPECT_TRUE(dynamic_cast<PostgresCopy&>(*insert).binaryFormat());
        row({QStringLiteral("b"), 2.5, QDate(2005, 2, 28)});
        row({QStringLiteral("c"), QStringLiteral("12.50"), QDate(2005, 3, 31)});
        row({QStringLiteral("d"), 7, QDate(2005, 4, 30)});
        insert->finish();
        EXPECT_FALSE(dynamic_cast<PostgresCopy&>(*insert).binaryFormat());
    }
    transaction.commit();
    EXPECT_EQ(c().scalar(QStringLiteral(
                             "select string_agg(S || ':' || coalesce(N::text, '-') || ':' || D::date, ',' "
                             "order by S) from pg_temp.T"))
                  .toString(),
              QStringLiteral("a:-:2005-01-31,b:2.5000:2005-02-28,c:12.5000:2005-03-31,d:7.0000:2005-04-30"));
}

} // namespace

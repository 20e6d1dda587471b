#include <gtest/gtest.h>

#include "db/DateValue.h"
#include "db/Dialect.h"
#include "db/Formats.h"
#include "db/SqlHelpers.h"

using namespace svod;

TEST(NormalDir, WindowsRules) {
    EXPECT_EQ(NormalDir(QString(), u'\\'), QString());
    EXPECT_EQ(NormalDir(QStringLiteral("c"), u'\\'), QStringLiteral("c:\\"));
    EXPECT_EQ(NormalDir(QStringLiteral("Z"), u'\\'), QStringLiteral("Z:\\"));
    EXPECT_EQ(NormalDir(QStringLiteral("c:"), u'\\'), QStringLiteral("c:"));
    EXPECT_EQ(NormalDir(QStringLiteral("1"), u'\\'), QStringLiteral("1\\"));
    EXPECT_EQ(NormalDir(QStringLiteral("D:\\work"), u'\\'), QStringLiteral("D:\\work\\"));
    EXPECT_EQ(NormalDir(QStringLiteral("D:\\work\\"), u'\\'), QStringLiteral("D:\\work\\"));
    // A Cyrillic letter is no drive letter.
    EXPECT_EQ(NormalDir(QStringLiteral("д"), u'\\'), QStringLiteral("д\\"));
}

TEST(NormalDir, PosixHasNoDriveLetters) {
    EXPECT_EQ(NormalDir(QString(), u'/'), QString());
    EXPECT_EQ(NormalDir(QStringLiteral("c"), u'/'), QStringLiteral("c/"));
    EXPECT_EQ(NormalDir(QStringLiteral("/tmp/in"), u'/'), QStringLiteral("/tmp/in/"));
    EXPECT_EQ(NormalDir(QStringLiteral("/tmp/in/"), u'/'), QStringLiteral("/tmp/in/"));
}

TEST(DateToServer, WritesDatePartOnly) {
    EXPECT_EQ(DateToServer(DateValue::fromYmd(2004, 1, 5)),
              QStringLiteral("CONVERT(DATETIME,'05.01.2004',104)"));
    const DateValue late = DateValue::fromDateTime(QDateTime(QDate(2003, 12, 31), QTime(23, 59)));
    EXPECT_EQ(DateToServer(late), QStringLiteral("CONVERT(DATETIME,'31.12.2003',104)"));
}

TEST(MonthAndYear, GenitiveMonthAndYear) {
    EXPECT_EQ(MonthAndYear(DateValue::fromYmd(2005, 3, 1)), QStringLiteral("марта 2005"));
    EXPECT_EQ(MonthAndYear(DateValue::fromYmd(1999, 12, 31)), QStringLiteral("декабря 1999"));
    EXPECT_EQ(MonthAndYear(DateValue::fromYmd(2005, 1, 31)), QStringLiteral("января 2005"));
}

TEST(Iif, PicksByCondition) {
    EXPECT_EQ(iif(true, QStringLiteral("a"), QStringLiteral("b")), QStringLiteral("a"));
    EXPECT_EQ(iif(false, QStringLiteral("a"), QStringLiteral("b")), QStringLiteral("b"));
}

TEST(SqlQuote, DoublesApostrophes) {
    EXPECT_EQ(sqlQuote(QStringLiteral("07")), QStringLiteral("'07'"));
    EXPECT_EQ(sqlQuote(QStringLiteral("0'")), QStringLiteral("'0'''"));
    EXPECT_EQ(sqlQuote(QStringLiteral("x' or '1'='1")), QStringLiteral("'x'' or ''1''=''1'"));
}

TEST(DateValue, SentinelsAndConversions) {
    EXPECT_EQ(DateValue::noDate().date(), QDate(1899, 12, 31));
    EXPECT_EQ(DateValue::farFuture().date(), QDate(4000, 12, 12));
    EXPECT_FALSE(DateValue::noDate().isPresent());
    EXPECT_TRUE(DateValue::fromYmd(2005, 1, 1).isPresent());
    EXPECT_EQ(DateValue().date(), QDate(1899, 12, 30));
    const QDateTime noon(QDate(2005, 1, 1), QTime(12, 0));
    EXPECT_DOUBLE_EQ(DateValue::fromDateTime(noon).days() - DateValue::fromYmd(2005, 1, 1).days(), 0.5);
    EXPECT_EQ(DateValue::fromDateTime(noon).dateTime(), noon);
    EXPECT_EQ(DateValue::fromVariant(QStringLiteral("2005-01-02 00:00:00")).date(), QDate(2005, 1, 2));
    EXPECT_EQ(DateValue::fromVariant(QVariant(QDate(2005, 1, 3))).date(), QDate(2005, 1, 3));
    EXPECT_LT(DateValue::fromYmd(2005, 1, 1), DateValue::fromYmd(2005, 1, 2));
}

TEST(Formats, DatesAndNumbersFollowProcessFormats) {
    EXPECT_EQ(formatDate(DateValue::fromYmd(2005, 1, 2)), QStringLiteral("02.01.2005"));
    EXPECT_EQ(formatNumber(7.5), QStringLiteral("7,5"));
    EXPECT_EQ(formatNumber(1234567.25), QStringLiteral("1234567,25"));
    EXPECT_EQ(formatNumber(0.1 + 0.2), QStringLiteral("0,3"));
    EXPECT_EQ(formatFixed(-0.001, 2), QStringLiteral("0,00"));
    EXPECT_EQ(formatFixed(-12.5, 2), QStringLiteral("-12,50"));
}

TEST(TableNames, BareNameDropsTheSchemaAndTheTemporaryMarker) {
    EXPECT_EQ(db::bareTableName(QStringLiteral("temp.TEMP1")), QStringLiteral("TEMP1"));
    EXPECT_EQ(db::bareTableName(QStringLiteral("pg_temp.TEMP2")), QStringLiteral("TEMP2"));
    EXPECT_EQ(db::bareTableName(QStringLiteral("#TEMP3")), QStringLiteral("TEMP3"));
    EXPECT_EQ(db::bareTableName(QStringLiteral("dbo.INV")), QStringLiteral("INV"));
    EXPECT_EQ(db::bareTableName(QStringLiteral("INV")), QStringLiteral("INV"));
}

// The reception log view: period and branch filter, status texts and the detail row.
#include "directory/ReceptionLog.h"
#include "DirectoryFixture.h"
#include "db/Error.h"
#include "directory/QueryTable.h"

using namespace svod;
using namespace svod::directory;
using svod::test::DirectoryTest;

TEST(StatusGetText, KnownCodesUnknownCodesAndEmpty) {
    EXPECT_EQ(StatusGetText(0), QStringLiteral("Удачный прием"));
    EXPECT_EQ(StatusGetText(QStringLiteral("10")), QStringLiteral("Не пройдена проверка данных"));
    EXPECT_EQ(StatusGetText(20), QStringLiteral("Не пройдена проверка пакета"));
    EXPECT_EQ(StatusGetText(30), QStringLiteral("Критическая ошибка"));
    EXPECT_EQ(StatusGetText(40), QStringLiteral("Ошибка разархивации данных"));
    EXPECT_EQ(StatusGetText(5), QStringLiteral("Неопознанная ошибка"));
    EXPECT_EQ(StatusGetText(25), QStringLiteral("Неопознанная ошибка"));
    EXPECT_EQ(StatusGetText(QStringLiteral("00")), QStringLiteral("Неопознанная ошибка"))
        << "compared as text";
    EXPECT_EQ(StatusGetText(QVariant()), QString());
    EXPECT_EQ(StatusGetText(QString()), QString());
}

TEST(LogPeriod, EndBeforeStartIsRefusedEqualDaysPass) {
    try {
        checkLogPeriod({QDate(2005, 3, 2), QDate(2005, 3, 1), {}});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Дата начала должна быть меньше даты окончания"));
    }
    EXPECT_NO_THROW(checkLogPeriod({QDate(2005, 3, 1), QDate(2005, 3, 1), {}}));
}

class ReceptionLogTest : public DirectoryTest {
protected:
    void SetUp() override {
        DirectoryTest::SetUp();
        if (IsSkipped())
            return;
        logRow(QStringLiteral("2005-02-28 23:59:59"), 0, QStringLiteral("01"), QStringLiteral("накануне"));
        logRow(QStringLiteral("2005-03-01 00:00:00"), 10, QStringLiteral("01"), QStringLiteral("начало дня"));
        logRow(QStringLiteral("2005-03-01 12:30:00"), 5, QStringLiteral("02"), QStringLiteral("днем"));
        logRow(QStringLiteral("2005-03-02 00:00:00"), QVariant(QMetaType::fromType<int>()),
               QStringLiteral("77"), QStringLiteral("полночь: 'строка' с кавычками"));
        logRow(QStringLiteral("2005-03-02 00:00:01"), 0, QStringLiteral("01"),
               QStringLiteral("на следующий день"));
    }
    QStringList messagesOf(const LogFilter& filter) {
        QueryTable table;
        table.open(connection(), logQuery(connection().dialect(), filter));
        QStringList result;
        for (int r = 0; r < table.rowCount(); ++r)
            result << readLogDetail(connection(), table.value(r, 0).toString())->message;
        return result;
    }
};

TEST_P(ReceptionLogTest, OneDayIncludesTheMidnightAfterIt) {
    const QDate day(2005, 3, 1);
    EXPECT_EQ(messagesOf({day, day, {}}),
              (QStringList{QStringLiteral("полночь: 'строка' с кавычками"), QStringLiteral("днем"),
                           QStringLiteral("начало дня")}));
}

TEST_P(ReceptionLogTest, BranchFilterAndColumns) {
    QueryTable table;
    table.open(connection(), logQuery(connection().dialect(),
                                      {QDate(2005, 1, 1), QDate(2005, 12, 31), QStringLiteral("01")}));
    ASSERT_EQ(table.rowCount(), 3);
    table.setDisplayFunction(QStringLiteral("STATUS"), &StatusGetText);
    const int dd = table.fieldByName(QStringLiteral("DD"));
    EXPECT_EQ(table.text(0, dd), QStringLiteral("02.03.2005 00.00.01"));
    EXPECT_EQ(table.text(1, table.fieldByName(QStringLiteral("STATUS"))),
              QStringLiteral("Не пройдена проверка данных"));
    EXPECT_EQ(table.text(1, table.fieldByName(QStringLiteral("NAZVANIE"))), QStringLiteral("Москва"));

    table.open(connection(), logQuery(connection().dialect(), {QDate(2005, 1, 1), QDate(2005, 12, 31), {}}));
    ASSERT_EQ(table.rowCount(), 5);
    table.setDisplayFunction(QStringLiteral("STATUS"), &StatusGetText);
    EXPECT_EQ(table.text(1, table.fieldByName(QStringLiteral("STATUS"))), QString()) << "NULL status";
    EXPECT_EQ(table.text(1, table.fieldByName(QStringLiteral("NAZVANIE"))), QString()) << "unknown branch";
    EXPECT_EQ(table.text(2, table.fieldByName(QStringLiteral("STATUS"))),
              QStringLiteral("Неопознанная ошибка"));
}

TEST_P(ReceptionLogTest, QuotedBranchCodeSelectsNothingAndInjectsNothing) {
    QueryTable table;
    table.open(connection(), logQuery(connection().dialect(), {QDate(2005, 1, 1), QDate(2005, 12, 31),
                                                               QStringLiteral("0' or '1'='1")}));
    EXPECT_EQ(table.rowCount(), 0);
}

TEST_P(ReceptionLogTest, DetailNamesAMissingBranch) {
    QueryTable table;
    table.open(connection(), logQuery(connection().dialect(), {QDate(2005, 3, 2), QDate(2005, 3, 2), {}}));
    ASSERT_EQ(table.rowCount(), 2);
    const auto missing = readLogDetail(connection(), table.value(1, 0).toString());
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->branch, QStringLiteral("Не найден филиал с номером \"77\"!"));
    EXPECT_TRUE(missing->status.isNull());
    const auto known = readLogDetail(connection(), table.value(0, 0).toString());
    EXPECT_EQ(known->branch, QStringLiteral("Москва"));
    EXPECT_EQ(known->status.toString(), QStringLiteral("0"));
    EXPECT_EQ(DateValue::fromVariant(known->dd).dateTime(), QDateTime(QDate(2005, 3, 2), QTime(0, 0, 1)));
}

TEST_P(ReceptionLogTest, DetailTakesOnlyWholeNumbers) {
    EXPECT_FALSE(readLogDetail(connection(), QStringLiteral("999999")));
    EXPECT_THROW(readLogDetail(connection(), QStringLiteral("1) or (1=1")), Error);
    EXPECT_THROW(readLogDetail(connection(), QString()), Error);
}

TEST_P(ReceptionLogTest, BranchChoicesStartWithAll) {
    const auto choices = readBranchChoices(connection());
    ASSERT_EQ(choices.size(), 3);
    EXPECT_EQ(choices[0].name, QStringLiteral("Все"));
    EXPECT_TRUE(choices[0].code.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Backends, ReceptionLogTest, ::testing::ValuesIn(svod::test::testBackends()),
                         svod::test::backendName);

// The data actuality view and the deletion of all data of a branch.
#include "directory/Actuality.h"
#include "DirectoryFixture.h"
#include "db/Error.h"
#include "directory/QueryTable.h"
#include "support/RecordingInteraction.h"

using namespace svod;
using namespace svod::directory;
using svod::test::DirectoryTest;

class ActualityTest : public DirectoryTest {
protected:
    void SetUp() override {
        DirectoryTest::SetUp();
        if (IsSkipped())
            return;
        for (const QString& kod : {QStringLiteral("01"), QStringLiteral("02")}) {
            connection().execute(QStringLiteral("insert into INV (ID, KOD_F, NAME) values ('I") + kod +
                                 QStringLiteral("', '") + kod + QStringLiteral("', 'Станок')"));
            balance(QStringLiteral("INV_OST"), u'I' + kod, kod, QStringLiteral("2004-01-31"),
                    QStringLiteral("1"));
            balance(QStringLiteral("INV_OST"), u'I' + kod, kod, QStringLiteral("2004-03-31"),
                    QStringLiteral("2"));
            // Control planes kept in INV_OST count for neither family.
            balance(QStringLiteral("INV_OST"), u'I' + kod, kod, QStringLiteral("2009-01-31"),
                    QStringLiteral("5"));
            balance(QStringLiteral("INV_OST3"), u'I' + kod, kod, QStringLiteral("2003-12-31"),
                    QStringLiteral("3"));
            balance(QStringLiteral("INV_OST3"), u'I' + kod, kod, QStringLiteral("2004-02-29"),
                    QStringLiteral("4"));
            balance(QStringLiteral("INV_INFL"), u'I' + kod, kod, QStringLiteral("2004-02-29"),
                    QStringLiteral("5"));
            logRow(QStringLiteral("2004-03-01 10:00:00"), 0, kod, QStringLiteral("ok"));
        }
        // A branch with items but no balances.
        connection().execute(QStringList{
            QStringLiteral("insert into FILIALS (KOD, NAZVANIE, D_BEG) values ('99', 'Тестовый', NULL)"),
            QStringLiteral("insert into INV (ID, KOD_F, NAME) values ('I99', '99', 'Стол')")});
    }

    qint64 rowsOf(const QString& table, const QString& kod) {
        return count(QStringLiteral("select count(*) from ") + table + QStringLiteral(" where KOD_F = '") +
                     kod + u'\'');
    }
    qint64 allRowsOf(const QString& kod) {
        qint64 total = 0;
        for (const char* t : {"INV", "INV_OST", "INV_OST3", "INV_INFL"})
            total += rowsOf(QString::fromLatin1(t), kod);
        return total;
    }
};

TEST_P(ActualityTest, SpansPerFamilyAndInflationFlag) {
    QueryTable table;
    table.open(connection(), actualityQuery(connection().dialect()));
    ASSERT_EQ(table.rowCount(), 3);
    QStringList columns;
    for (const QString& c : table.columnNames())
        columns << c.toUpper();
    EXPECT_EQ(columns, (QStringList{"KOD", "NAZVANIE", "DAM", "DA", "DAMR", "DAR", "DINFL"}));
    QStringList first;
    for (int c = 0; c < table.columnCount(); ++c)
        first << table.text(0, c);
    EXPECT_EQ(first,
              (QStringList{"01", "Москва", "31.01.2004", "31.03.2004", "31.12.2003", "29.02.2004", "1"}));
    QStringList empty;
    for (int c = 0; c < table.columnCount(); ++c)
        empty << table.text(2, c);
    EXPECT_EQ(empty, (QStringList{"99", "Тестовый", "", "", "", "", ""}));
}

TEST_P(ActualityTest, DeletionRemovesOnlyTheBranchsAcceptedData) {
    deleteBranchData(connection(), QStringLiteral("01"));
    EXPECT_EQ(allRowsOf(QStringLiteral("01")), 0);
    EXPECT_EQ(allRowsOf(QStringLiteral("02")), 7);
    EXPECT_EQ(count(QStringLiteral("select count(*) from FILIALS where KOD = '01'")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from LOG_ACCEPT where KODFIL = '01'")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from CLT")), 2);
    QueryTable table;
    table.open(connection(), actualityQuery(connection().dialect()));
    EXPECT_EQ(table.text(0, 0), QStringLiteral("01")) << "the branch stays in the list";
    for (int c = 2; c < table.columnCount(); ++c)
        EXPECT_EQ(table.text(0, c), QString()) << c;
}

TEST_P(ActualityTest, FailureAfterTheSecondDeletionLeavesEverything) {
    failOn(QStringLiteral("INV_OST3"), QStringLiteral("delete"));
    EXPECT_THROW(deleteBranchData(connection(), QStringLiteral("01")), DbError);
    EXPECT_EQ(rowsOf(QStringLiteral("INV"), QStringLiteral("01")), 1);
    EXPECT_EQ(rowsOf(QStringLiteral("INV_OST"), QStringLiteral("01")), 3);
    EXPECT_EQ(allRowsOf(QStringLiteral("01")), 7);
    EXPECT_FALSE(connection().inTransaction());
}

TEST_P(ActualityTest, QuotedCodeNeitherBreaksNorInjects) {
    EXPECT_NO_THROW(deleteBranchData(connection(), QStringLiteral("0' or KOD_F <> '")));
    EXPECT_EQ(allRowsOf(QStringLiteral("01")) + allRowsOf(QStringLiteral("02")), 14);
}

TEST_P(ActualityTest, CommandAsksThenDeletesAndTellsTheStatus) {
    test::RecordingInteraction ui;
    QString statusDuringDeletion;
    ui.answers = {reception::Answer::Ok};
    failOn(QStringLiteral("LOG_ACCEPT"), QStringLiteral("delete")); // the log must not be touched
    EXPECT_TRUE(deleteBranchCommand(connection(), ui, QStringLiteral("99"), QStringLiteral("Тестовый")));
    EXPECT_EQ(ui.texts(QStringLiteral("question")),
              QStringList{
                  QStringLiteral("Вы уверены, что хотите удалить ВСЕ данные по филиалу\n\r\"Тестовый\" ?")});
    EXPECT_EQ(ui.texts(QStringLiteral("status")),
              (QStringList{QStringLiteral("Подождите, идет удаление ..."), QString()}));
    EXPECT_EQ(ui.texts(QStringLiteral("message")), QStringList{QStringLiteral("Данные удалены")});
    EXPECT_EQ(allRowsOf(QStringLiteral("99")), 0);
}

TEST_P(ActualityTest, CancelOrOddCodesDeleteNothing) {
    test::RecordingInteraction ui;
    ui.answers = {reception::Answer::Cancel};
    EXPECT_FALSE(deleteBranchCommand(connection(), ui, QStringLiteral("01"), QStringLiteral("Москва")));
    EXPECT_EQ(ui.texts(QStringLiteral("status")), QStringList());
    for (const QString& code : {QStringLiteral("1"), QStringLiteral("011"), QString()}) {
        test::RecordingInteraction silent;
        EXPECT_FALSE(deleteBranchCommand(connection(), silent, code, QStringLiteral("Москва")));
        EXPECT_TRUE(silent.log.isEmpty()) << "not a word for code '" << code.toStdString() << "'";
    }
    EXPECT_EQ(allRowsOf(QStringLiteral("01")), 7);
}

TEST_P(ActualityTest, FailedCommandKeepsTheStatusText) {
    failOn(QStringLiteral("INV_INFL"), QStringLiteral("delete"));
    test::RecordingInteraction ui;
    EXPECT_THROW(deleteBranchCommand(connection(), ui, QStringLiteral("02"), QStringLiteral("Пермь")),
                 DbError);
    EXPECT_EQ(ui.status(), QStringLiteral("Подождите, идет удаление ..."));
    EXPECT_EQ(ui.texts(QStringLiteral("message")), QStringList());
    EXPECT_EQ(allRowsOf(QStringLiteral("02")), 7);
}

TEST_P(ActualityTest, CountsWhatWouldBeDeleted) {
    EXPECT_EQ(branchDataCounts(connection(), QStringLiteral("01")), (QList<qint64>{1, 3, 2, 1}));
}

INSTANTIATE_TEST_SUITE_P(Backends, ActualityTest, ::testing::ValuesIn(svod::test::testBackends()),
                         svod::test::backendName);

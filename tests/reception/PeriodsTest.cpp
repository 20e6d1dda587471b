// The closed-period question of a file-mode reception and the history checks in the reception.
#include <QFileInfo>

#include "ReceptionFixture.h"

using namespace svod;
using namespace svod::test;
using reception::Answer;
using reception::ReceptionOutcome;

namespace {

const QString Headline =
    QStringLiteral("В принимаемых данных есть движения в датах ранее разрешенного периода приема\r\n");
const QString CurrencyLine =
    QStringLiteral(" ПО ВАЛЮТЕ (мин.дата движений в пакете = 01.01.2005, ограничение = 01.07.2005)\r\n");

class PeriodsTest : public ReceptionFixture {
protected:
    void limit(const char* column, const QDateTime& value) {
        QSqlQuery q = c().prepare(QStringLiteral("update FILIALS set ") + QString::fromLatin1(column) +
                                  QStringLiteral(" = ? where KOD = '01'"));
        c().execPrepared(q, {value});
    }
};

TEST_P(PeriodsTest, PacketBeforeTheLimitIsStoppedWithAnImmediateProtocol) {
    // A limit with a time of day acts as its day.
    limit("D_MIN_VAL", QDateTime(QDate(2005, 7, 1), QTime(18, 0)));
    pickPacket(samplePacket(2));
    ReceptionOutcome outcome{};
    EXPECT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::PeriodsRefused);
    const QStringList questions = ui_.texts(QStringLiteral("question"));
    ASSERT_EQ(questions.size(), 2);
    EXPECT_EQ(questions[1],
              Headline + CurrencyLine + QStringLiteral("Прервать прием и выдать протокол об ошибке?"));
    ASSERT_EQ(ui_.protocols.size(), 1);
    EXPECT_EQ(ui_.protocols[0].title, QStringLiteral("Данные не приняты\r\nФилиал: Филиал один\r\n") +
                                          service().state().PacketInfo + QStringLiteral("\r\n") + Headline +
                                          CurrencyLine + QStringLiteral("\r\n "));
    EXPECT_TRUE(ui_.protocols[0].rows.isEmpty());
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 0);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("A0105X.DBF"))));
    EXPECT_TRUE(ui_.texts(QStringLiteral("status")).isEmpty()) << "the status bar is not touched";
    EXPECT_EQ(ui_.executes, 1) << "only the scan ran, no loading";
}

TEST_P(PeriodsTest, AnswerNoGoesOnAndDeletedItemsAreStillJudged) {
    limit("D_MIN_VAL", QDateTime(QDate(2005, 7, 1), QTime(0, 0)));
    insertItem(QStringLiteral("01GONE"), QStringLiteral("01"));
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("01GONE"), QStringLiteral("01"),
                  QDate(2005, 3, 31), QStringLiteral("1"), 5);
    insertItem(QStringLiteral("01ENDED"), QStringLiteral("01"), QDateTime(QDate(2004, 5, 1), QTime(0, 0)));
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("01ENDED"), QStringLiteral("01"),
                  QDate(2004, 3, 31), QStringLiteral("1"), 5);
    pickPacket(samplePacket(2));
    ui_.answers = {Answer::Ok, Answer::No, Answer::Yes};
    EXPECT_EQ(runCommand(), QStringLiteral("Ошибки при проверке данных. Данные не приняты."));
    const QStringList questions = ui_.texts(QStringLiteral("question"));
    ASSERT_EQ(questions.size(), 3);
    EXPECT_EQ(questions[2],
              QStringLiteral("Обнаружены удаленные позиции по которым присылались данные в период, "
                             "раньше даты запрета отката.\r\nПрервать прием и выдать протокол позиций ?"));
    ASSERT_EQ(ui_.protocols.size(), 1);
    ASSERT_EQ(ui_.protocols[0].rows.size(), 1) << "an item with an end date is never reported";
    EXPECT_EQ(ui_.protocols[0].rows[0][0], QStringLiteral("01GONE"));

    // Answer No to both: the packet is accepted and the deleted item goes.
    pickPacket(samplePacket(2));
    ui_.answers = {Answer::Ok, Answer::No, Answer::No};
    ReceptionOutcome outcome{};
    EXPECT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::Accepted);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where ID = '01GONE'")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where ID = '01ENDED'")), 1);
}

TEST_P(PeriodsTest, SelectionDateOnTheLimitAsksNothing) {
    limit("D_MIN_VAL", QDateTime(QDate(2005, 1, 1), QTime(0, 0)));
    limit("D_MIN_RUB", QDateTime(QDate(2004, 1, 1), QTime(0, 0)));
    pickPacket(samplePacket(1));
    ReceptionOutcome outcome{};
    EXPECT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::Accepted);
    EXPECT_EQ(ui_.texts(QStringLiteral("question")).size(), 1);
}

TEST_P(PeriodsTest, TestReceptionAsksWithTheBranchOwnLimits) {
    limit("D_MIN_RUB", QDateTime(QDate(2005, 2, 1), QTime(0, 0)));
    ui_.testBranch = true;
    pickPacket(samplePacket(1));
    ui_.answers = {Answer::Ok, Answer::No};
    ReceptionOutcome outcome{};
    EXPECT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::Accepted);
    EXPECT_TRUE(
        ui_.texts(QStringLiteral("question"))
            .value(1)
            .contains(QStringLiteral(" ПО РУБЛЯМ (мин.дата движений в пакете = 01.01.2005, ограничение = "
                                     "01.02.2005)\r\n")));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '99'")), 1);
}

TEST_P(PeriodsTest, NegativeResidualValueRefusesTheFilePacket) {
    SamplePacket packet = samplePacket(2);
    for (BalanceRow& row : packet.balances)
        if (row.id == u"0100002" && row.typ == u"4")
            row.saldo = 10.01;
    pickPacket(packet);
    EXPECT_EQ(runCommand(), QStringLiteral("Ошибки при проверке данных. Данные не приняты."));
    ASSERT_EQ(ui_.protocols.size(), 1);
    EXPECT_EQ(ui_.protocols[0].rows.size(), 1);
    EXPECT_EQ(ui_.protocols[0].rows[0].last(), QStringLiteral("-0,01"));
    EXPECT_EQ(ui_.protocols[0].rows[0][7], QStringLiteral("РСБУ"));
}

INSTANTIATE_TEST_SUITE_P(Backends, PeriodsTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace

// Reception from the server staging tables.
#include "StagingFixture.h"

using namespace svod;
using namespace svod::test;
using reception::Answer;
using reception::ReceptionOutcome;

namespace {

class DirectReceptionTest : public StagingFixture {
protected:
    void SetUp() override {
        StagingFixture::SetUp();
        if (IsSkipped())
            return;
        ui_.mode = reception::PriemMode::Direct;
    }
    // Runs the command; the error message, or empty.
    QString receive() {
        ReceptionOutcome outcome{};
        const QString error = runCommand(&outcome);
        if (error.isEmpty()) {
            EXPECT_EQ(outcome, ReceptionOutcome::Direct);
        }
        return error;
    }
};

TEST_P(DirectReceptionTest, MissingStagingTables) {
    EXPECT_EQ(receive(), QStringLiteral("Данные для приема отсутствуют (TEMP_MU_MSFO_SBROS_A)."));
    stageItems(samplePacket(1).items);
    EXPECT_EQ(receive(), QStringLiteral("Данные для приема отсутствуют (TEMP_MU_MSFO_SBROS_B)."));
    EXPECT_TRUE(ui_.texts(QStringLiteral("question")).isEmpty());
    EXPECT_TRUE(ui_.texts(QStringLiteral("status")).isEmpty()) << "the status panel is not touched";
}

TEST_P(DirectReceptionTest, TestsOfTheStagingTables) {
    struct Case {
        const char* what;
        std::function<void(SamplePacket&)> change;
        const char* message;
    };
    const QList<Case> cases = {
        {"no items", [](SamplePacket& p) { p.items.clear(); }, "Таблица номенклатуры пуста."},
        {"header row in items",
         [](SamplePacket& p) {
             ItemRow header;
             header.id = QStringLiteral("HDR");
             header.kod = QStringLiteral("**");
             p.items << header;
         },
         "Неуникальный код филиала в таблице номенклатуры."},
        {"blank item code",
         [](SamplePacket& p) {
             for (ItemRow& item : p.items)
                 item.kod = QStringLiteral(" ");
         },
         "Пустой код филиала в таблице номенклатуры."},
        {"duplicate ID", [](SamplePacket& p) { p.items << p.items.front(); },
         "Неуникальный ID в таблице номенклатуры."},
        {"header-only movements",
         [](SamplePacket& p) { p.balances = {header(QStringLiteral("1"), QDate(2005, 1, 1))}; },
         "Таблица оборотов пуста."},
        {"two movement codes", [](SamplePacket& p) { p.balances.last().kod = QStringLiteral("02"); },
         "Неуникальный код филиала в таблице оборотов."},
    };
    for (const Case& test : cases) {
        SamplePacket packet = samplePacket(2);
        test.change(packet);
        stagePacket(packet);
        EXPECT_EQ(receive(), QString::fromUtf8(test.message)) << test.what;
        c().execute(QStringLiteral("drop table TEMP_MU_MSFO_SBROS_A"));
        c().execute(QStringLiteral("drop table TEMP_MU_MSFO_SBROS_B"));
    }
    EXPECT_TRUE(ui_.texts(QStringLiteral("question")).isEmpty());
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 0);
}

TEST_P(DirectReceptionTest, AcceptedReceptionDropsTheStagingTablesAfterTheCommit) {
    insertItem(QStringLiteral("01OLD"), QStringLiteral("01"));
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("01OLD"), QStringLiteral("01"), QDate(2006, 2, 1),
                  QStringLiteral("1"), 7);
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("01OLD"), QStringLiteral("01"),
                  QDate(2005, 12, 31), QStringLiteral("1"), 8);
    SamplePacket packet = samplePacket(2);
    for (BalanceRow& row : packet.balances)
        row.dd = row.dd.addYears(1);
    // The items' code differs: the movements decide.
    for (ItemRow& item : packet.items)
        item.kod = QStringLiteral("05");
    stageItems(packet.items);
    // A header date with a time of day.
    stageBalances(reception::StagingMovements, packet.balances, QTime(13, 30));
    EXPECT_EQ(receive(), QString());

    const reception::ReceptionState& s = service().state();
    EXPECT_EQ(s.FilialCode, QStringLiteral("01"));
    EXPECT_TRUE(s.NewFormat);
    EXPECT_EQ(s.CurrencyFrom, DateValue::fromYmd(2006, 1, 1));
    EXPECT_EQ(s.RoublesFrom, DateValue::fromYmd(2006, 1, 1));
    EXPECT_EQ(s.MinDD[0], DateValue::fromYmd(2006, 1, 31));
    const QStringList questions = ui_.texts(QStringLiteral("question"));
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith(QStringLiteral(
        "Подтвердите прием данных по филиалу:\r\n 01 Филиал один\r\n\r\nНовый формат пакета.")))
        << questions[0].toStdString();
    EXPECT_TRUE(questions[0].contains(QStringLiteral(" МСФО\t: с января 2006")));
    EXPECT_TRUE(ui_.infoLabels.contains(QStringLiteral("Перенос оборотов в таблицу приема")));
    EXPECT_EQ(ui_.texts(QStringLiteral("info")),
              QStringList{QStringLiteral("Прием данных успешно завершен.")});
    EXPECT_EQ(ui_.status(), QStringLiteral(" "));

    // Items stored as the staging table holds them, balances under the movements' code.
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '05'")), 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where ID = '01OLD'")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where KOD_F = '01'")), 5);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where SALDO = 7")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST3 where KOD_F = '01'")), 4);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where KOD_F = '**'")), 0);
    EXPECT_FALSE(stagingExists(reception::StagingItems));
    EXPECT_FALSE(stagingExists(reception::StagingMovements));

    // A second reception at once finds no data.
    EXPECT_EQ(receive(), QStringLiteral("Данные для приема отсутствуют (TEMP_MU_MSFO_SBROS_A)."));
}

TEST_P(DirectReceptionTest, OldFormatReplacesOnlyTheItems) {
    insertItem(QStringLiteral("01OLD"), QStringLiteral("01"));
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("01OLD"), QStringLiteral("01"), QDate(2005, 2, 1),
                  QStringLiteral("1"), 7);
    SamplePacket packet = samplePacket(2);
    packet.balances.removeAt(0);
    packet.balances.removeAt(0);
    // Plane 4 without rows.
    packet.balances.erase(std::remove_if(packet.balances.begin(), packet.balances.end(),
                                         [](const BalanceRow& r) { return r.typ == u"4"; }),
                          packet.balances.end());
    stagePacket(packet);
    EXPECT_EQ(receive(), QString());
    const reception::ReceptionState& s = service().state();
    EXPECT_FALSE(s.NewFormat);
    EXPECT_FALSE(s.CurrencyFrom.isPresent());
    EXPECT_EQ(s.MinDD[3], DateValue::farFuture());
    EXPECT_EQ(s.MaxDD[3], DateValue::noDate());
    const QString question = ui_.texts(QStringLiteral("question")).value(0);
    EXPECT_TRUE(question.contains(QStringLiteral("СТАРЫЙ формат пакета.")));
    EXPECT_TRUE(question.contains(QStringLiteral(" по амортизации РСБУ\t- НЕТ")));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '01'")), 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST3")), 0);
}

TEST_P(DirectReceptionTest, RefusedOrDeclinedReceptionKeepsTheStagingTables) {
    SamplePacket packet = samplePacket(2);
    packet.items[0].group1.clear();
    stagePacket(packet);
    EXPECT_EQ(receive(), QStringLiteral("Ошибки при проверке данных. Данные не приняты."));
    ASSERT_EQ(ui_.protocols.size(), 1);
    EXPECT_EQ(
        ui_.protocols[0].title,
        QStringLiteral("Данные не приняты\r\nФилиал: Филиал один\r\n\r\nОбнаружены позиции с пустым кодом "
                       "группы по МСФО.\r\n "));
    EXPECT_TRUE(stagingExists(reception::StagingItems));
    EXPECT_TRUE(stagingExists(reception::StagingMovements));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 0);

    ui_.answers = {Answer::Cancel};
    EXPECT_EQ(receive(), QString());
    EXPECT_FALSE(service().state().ReceptionOk);
    EXPECT_EQ(ui_.status(), QStringLiteral(" "));
    EXPECT_TRUE(stagingExists(reception::StagingItems));
}

TEST_P(DirectReceptionTest, DeletedItemsAreJudgedAgainstTheBranchLimits) {
    c().execute(QStringLiteral("update FILIALS set D_MIN_VAL = ") +
                c().dialect().dateLiteral(DateValue::fromYmd(2005, 7, 1)) +
                QStringLiteral(" where KOD = '01'"));
    insertItem(QStringLiteral("01GONE"), QStringLiteral("01"));
    insertBalance(QStringLiteral("INV_OST"), QStringLiteral("01GONE"), QStringLiteral("01"),
                  QDate(2004, 12, 31), QStringLiteral("1"), 7);
    stagePacket(samplePacket(2));
    ui_.answers = {Answer::Ok, Answer::Yes};
    EXPECT_EQ(receive(), QStringLiteral("Ошибки при проверке данных. Данные не приняты."));
    const QStringList questions = ui_.texts(QStringLiteral("question"));
    ASSERT_EQ(questions.size(), 2) << "no closed-period question in direct mode";
    EXPECT_TRUE(questions[1].endsWith(QStringLiteral("\r\nПрервать прием и выдать протокол позиций ?")));
    ASSERT_EQ(ui_.protocols.size(), 1);
    EXPECT_EQ(ui_.protocols[0].rows.value(0).value(0), QStringLiteral("01GONE"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where ID = '01GONE'")), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, DirectReceptionTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace

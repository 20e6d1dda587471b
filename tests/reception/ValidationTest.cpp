// Packet choice, validation of the files and the description of the packet.
#include <QFile>

#include "ReceptionFixture.h"
#include "reception/PacketFiles.h"
#include "reception/PacketScan.h"

using namespace svod;
using namespace svod::test;
using reception::Answer;
using reception::ReceptionOutcome;

namespace {

class ValidationTest : public ReceptionFixture {
protected:
    // Runs the command up to the confirmation, which is declined.
    QString validate(const SamplePacket& packet) {
        pickPacket(packet);
        ui_.answers = {Answer::Cancel};
        return runCommand();
    }
    QString a() const { return path(QStringLiteral("A0105X.DBF")); }
    QString b() const { return path(QStringLiteral("B0105X.DBF")); }
};

TEST(PacketFilesTest, PairIsDerivedFromEitherFileName) {
    reception::PacketPair pair = reception::derivePacketPair(QStringLiteral("/in/b_2005_01.DBF"));
    EXPECT_EQ(pair.a, QStringLiteral("/in/A_2005_01.DBF"));
    EXPECT_EQ(pair.b, QStringLiteral("/in/b_2005_01.DBF"));
    pair = reception::derivePacketPair(QStringLiteral("/in/a0105x.dbf"));
    EXPECT_EQ(pair.b, QStringLiteral("/in/B0105x.dbf"));
    pair = reception::derivePacketPair(QStringLiteral("/in/a12.dbf"));
    EXPECT_TRUE(pair.notExchangeFile);
    EXPECT_TRUE(pair.a.isEmpty());
    pair = reception::derivePacketPair(QStringLiteral("/in/C0105X.DBF"));
    EXPECT_TRUE(pair.notExchangeFile);
}

TEST_P(ValidationTest, ShortNameGivesBothMessagesAndMovesTheInputDirectory) {
    QFile file(path(QStringLiteral("a12.dbf")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ui_.fileToChoose = file.fileName();
    ReceptionOutcome outcome{};
    EXPECT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::FilesNotFound);
    EXPECT_EQ(ui_.texts(QStringLiteral("message")),
              QStringList({QStringLiteral("Выбранный файл не является файлом обмена"),
                           QStringLiteral("Необходимые для приема файлы не найдены!")}));
    EXPECT_EQ(service().inputDir(), dir_.path());
    EXPECT_EQ(ui_.lastFilter, QStringLiteral("DBF файл (*.dbf)|*.dbf"));
    EXPECT_EQ(ui_.status(), QStringLiteral(" "));
}

TEST_P(ValidationTest, MissingPartnerFileStopsWithOneMessage) {
    writeItems(a(), samplePacket(1).items);
    ui_.fileToChoose = a();
    EXPECT_EQ(runCommand(), QString());
    EXPECT_EQ(ui_.texts(QStringLiteral("message")),
              QStringList{QStringLiteral("Необходимые для приема файлы не найдены!")});
}

TEST_P(ValidationTest, CancelledFileChoiceSaysNothing) {
    ui_.fileToChoose.clear();
    ReceptionOutcome outcome{};
    EXPECT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::Cancelled);
    EXPECT_TRUE(ui_.texts(QStringLiteral("message")).isEmpty());
}

TEST_P(ValidationTest, EmptyFilesAndMissingColumns) {
    SamplePacket packet = samplePacket(2);
    SamplePacket noItems = packet;
    noItems.items.clear();
    EXPECT_EQ(validate(noItems), QStringLiteral("Пустой файл ") + a() + QStringLiteral(" !"));
    SamplePacket noBalances = packet;
    noBalances.balances.clear();
    EXPECT_EQ(validate(noBalances), QStringLiteral("Пустой файл ") + b() + QStringLiteral(" !"));

    writePacket(a(), b(), packet);
    writeItems(a(), packet.items, false);
    EXPECT_EQ(runCommand(), QStringLiteral("Неверный формат файла ") + a() + QStringLiteral(" !"));
    writePacket(a(), b(), packet);
    writeBalances(b(), packet.balances, false);
    EXPECT_EQ(runCommand(), QStringLiteral("Неверный формат файла ") + b() + QStringLiteral(" !"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 0);
}

TEST_P(ValidationTest, BranchCodesAreComparedInTheFirst19Rows) {
    SamplePacket packet = samplePacket(25);
    packet.items[18].kod = QStringLiteral("02");
    EXPECT_EQ(validate(packet), QStringLiteral("Неуникальный код филиала в ") + a() + QStringLiteral(" !"));
    packet.items[18].kod = QStringLiteral("01");
    packet.items[19].kod = QStringLiteral("02");
    EXPECT_EQ(validate(packet), QString()); // row 20 is left to the server

    packet = samplePacket(25);
    packet.balances[18].kod = QStringLiteral("03"); // header rows count among the 19
    EXPECT_EQ(validate(packet), QStringLiteral("Неверный код филиала в ") + b() + QStringLiteral(" !"));
    packet.balances[18].kod = QStringLiteral("01");
    packet.balances[40].kod = QStringLiteral("03");
    EXPECT_EQ(validate(packet), QString());

    packet = samplePacket(2, QString());
    EXPECT_EQ(validate(packet), QStringLiteral("Пустой код филиала в ") + a() + QStringLiteral(" !"));
}

TEST_P(ValidationTest, MovementsBeforeTheSelectionDateAndOldFormat) {
    SamplePacket packet = samplePacket(2);
    packet.balances[3].dd = QDate(2004, 12, 31); // plane 2
    ASSERT_EQ(packet.balances[3].typ, QStringLiteral("2"));
    EXPECT_EQ(validate(packet),
              QStringLiteral("Неверный пакет данных. Найдены движения (тип2) с датой ранее даты отбора!"));
    packet = samplePacket(2);
    packet.balances[5].dd = QDate(2004, 12, 31); // plane 4
    EXPECT_EQ(validate(packet),
              QStringLiteral("Неверный пакет данных. Найдены движения (тип4) с датой ранее даты отбора!"));

    packet = samplePacket(2);
    packet.balances.removeAt(1); // no rouble header: planes 3 and 4 are not compared
    packet.balances[3].dd = QDate(2004, 12, 31);
    ASSERT_EQ(packet.balances[3].typ, QStringLiteral("3"));
    EXPECT_EQ(validate(packet), QString());

    packet = samplePacket(2);
    packet.balances.removeFirst();
    packet.balances.removeFirst();
    EXPECT_EQ(validate(packet), QStringLiteral("Старый формат файлов! Прием невозможен."));
}

TEST_P(ValidationTest, NewerProgramMarkerAgainstAcceptedItems) {
    SamplePacket packet = samplePacket(2);
    packet.items[1].id = QStringLiteral("01I0001");
    packet.balances.last().id = QStringLiteral("01I0001");
    EXPECT_EQ(validate(packet), QString()); // no accepted items
    EXPECT_TRUE(service().state().FromKvaro);

    insertItem(QStringLiteral("01K0009"), QStringLiteral("01"));
    EXPECT_EQ(validate(packet), QString());

    c().execute(QStringLiteral("delete from INV"));
    insertItem(QStringLiteral("0100009"), QStringLiteral("01"));
    EXPECT_EQ(validate(packet),
              QStringLiteral("Филиал \"Филиал один\" прислал данные из новой программы \"ЛирантКваро\",\r\n"
                             "Перед приемом новых нужно удалить старые данные,\r\n"
                             "предварительно проверив соответствие новых остатков старым."));
}

TEST_P(ValidationTest, ConfirmationDescribesThePacket) {
    SamplePacket packet = samplePacket(2);
    packet.balances.append(
        {QStringLiteral("0100001"), QStringLiteral("01"), QDate(2005, 3, 31), QStringLiteral("1"), 1, 1});
    EXPECT_EQ(validate(packet), QString());
    const QString periods = QStringLiteral("\r\nНовый формат пакета.\r\n\r\n"
                                           "Отбор данных произведен: \r\n\r\n"
                                           " МСФО\t: с января 2005\r\n"
                                           " РСБУ\t: с января 2005\r\n\r\n"
                                           "Данные в пакете: \r\n\r\n"
                                           " по бал.ст. МСФО   \t-  с 31.01.2005 по 31.03.2005\r\n"
                                           " по амортизации МСФО\t-  с 31.01.2005 по 31.01.2005\r\n"
                                           " по бал.ст. РСБУ   \t-  с 31.01.2005 по 31.01.2005\r\n"
                                           " по амортизации РСБУ\t-  с 31.01.2005 по 31.01.2005\r\n");
    EXPECT_EQ(ui_.texts(QStringLiteral("question")).value(0),
              QStringLiteral("Подтвердите прием данных по филиалу:\r\n 01 Филиал один\r\n") + periods);
    EXPECT_EQ(service().state().PacketInfo,
              QStringLiteral("Принимаемые файлы: A0105X.DBF, B0105X.DBF\r\nДанные по валюте с 01.01.2005\r\n"
                             "Данные по рублям с 01.01.2005\r\n"));
    EXPECT_EQ(ui_.executes, 1); // the scan ran in the progress dialog
    EXPECT_EQ(ui_.infoLabels.value(0), QStringLiteral("Определение периода движений"));
    EXPECT_EQ(ui_.status(), QStringLiteral(" "));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 0);

    ui_.log.clear();
    ui_.testBranch = true;
    EXPECT_EQ(validate(packet), QString());
    const QString question = ui_.texts(QStringLiteral("question")).value(0);
    EXPECT_TRUE(question.endsWith(periods + QStringLiteral("\r\nКАК ТЕСТОВЫЙ 99 ФИЛИАЛ")))
        << question.toStdString();
    EXPECT_EQ(service().state().FilialCode, QStringLiteral("01")); // the packet's own code until loading
    EXPECT_EQ(service().state().AcceptCode, QStringLiteral("99"));

    ui_.log.clear();
    ui_.testBranch = false;
    EXPECT_EQ(validate(samplePacket(1, QStringLiteral("99"))), QString());
    EXPECT_TRUE(ui_.texts(QStringLiteral("question"))
                    .value(0)
                    .endsWith(QStringLiteral("\r\nКАК ТЕСТОВЫЙ 99 ФИЛИАЛ")));
}

TEST(PeriodsTextTest, PlanesWithoutDataAndMissingHeaders) {
    reception::ReceptionState s;
    s.NewFormat = true;
    s.FromKvaro = true;
    s.RoublesFrom = DateValue::fromYmd(2006, 2, 1);
    EXPECT_EQ(reception::GetPeriodsTexts(s),
              QStringLiteral("\r\nНовый формат пакета.\r\n\r\nKVARO\r\n\r\nОтбор данных произведен: \r\n\r\n"
                             " МСФО\t: НЕТ \r\n РСБУ\t: с февраля 2006\r\n\r\nДанные в пакете: \r\n\r\n"
                             " по бал.ст. МСФО   \t- НЕТ\r\n по амортизации МСФО\t- НЕТ\r\n"
                             " по бал.ст. РСБУ   \t- НЕТ\r\n по амортизации РСБУ\t- НЕТ\r\n"));
    s.NewFormat = false;
    EXPECT_TRUE(reception::GetPeriodsTexts(s).startsWith(
        QStringLiteral("\r\nСТАРЫЙ формат пакета.\r\n\r\nДанные в пакете: ")));
}

TEST(PeriodsTextTest, KvaroMarkerIsTheThirdCharacter) {
    EXPECT_TRUE(reception::isKvaroId(QStringLiteral("01I0001")));
    EXPECT_TRUE(reception::isKvaroId(QStringLiteral("01K")));
    EXPECT_FALSE(reception::isKvaroId(QStringLiteral("01i0001")));
    EXPECT_FALSE(reception::isKvaroId(QStringLiteral("I1")));
}

INSTANTIATE_TEST_SUITE_P(Backends, ValidationTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace

// What a reception reports never contradicts what the database holds: committed data are
// reported as accepted whatever the archive meets, and a packet that cannot be read whole is
// refused before anything is written.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ReceptionFixture.h"
#include "demo/DbfWriter.h"

using namespace svod;
using namespace svod::test;
using reception::ReceptionOutcome;

namespace {

class ResultsTest : public ReceptionFixture {
protected:
    int centralRows() {
        return count(QStringLiteral("select count(*) from INV")) +
               count(QStringLiteral("select count(*) from INV_OST")) +
               count(QStringLiteral("select count(*) from INV_OST3"));
    }
};

TEST_P(ResultsTest, AFileGoneBeforeTheArchiveStillEndsAsAcceptedWithAWarning) {
    pickPacket(samplePacket(2));
    // The file disappears while the data are being replaced, after both readers closed it.
    service().setAfterOldRowsDeleted([this] { QFile::remove(path(QStringLiteral("A0105X.DBF"))); });
    ReceptionOutcome outcome{};
    ASSERT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::AcceptedNotArchived);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '01'")), 2);
    // The success first, then the warning naming the file that could not be archived.
    ASSERT_EQ(ui_.log.size() >= 2, true);
    const QStringList kinds = [&] {
        QStringList k;
        for (const auto& e : ui_.log)
            if (e.kind == u"info" || e.kind == u"warning" || e.kind == u"error")
                k << e.kind;
        return k;
    }();
    EXPECT_EQ(kinds, QStringList({QStringLiteral("info"), QStringLiteral("warning")}));
    const QString warning = ui_.texts(QStringLiteral("warning")).value(0);
    EXPECT_TRUE(warning.contains(QStringLiteral("A0105X.DBF"))) << warning.toStdString();
    EXPECT_TRUE(warning.contains(QStringLiteral("не найден"))) << warning.toStdString();
    // The other file of the pair was archived all the same.
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("RECEIVED/B0105X.DBF"))));
}

TEST_P(ResultsTest, AnArchiveFolderThatCannotBeMadeIsTheSameWarning) {
    pickPacket(samplePacket(1));
    QFile blocker(path(QStringLiteral("RECEIVED")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ReceptionOutcome outcome{};
    ASSERT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::AcceptedNotArchived);
    EXPECT_EQ(ui_.texts(QStringLiteral("error")), QStringList());
    EXPECT_EQ(ui_.texts(QStringLiteral("info")),
              QStringList{QStringLiteral("Прием данных успешно завершен.")});
    const QString warning = ui_.texts(QStringLiteral("warning")).value(0);
    EXPECT_TRUE(warning.contains(QStringLiteral("Не удается создать каталог"))) << warning.toStdString();
    EXPECT_TRUE(warning.contains(QStringLiteral("Файл A0105X.DBF остался в каталоге ") +
                                 QDir::toNativeSeparators(dir_.path())))
        << warning.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("B0105X.DBF"))));
}

TEST_P(ResultsTest, ABadDateInTheBalancesIsAValidationMessageNamingTheRow) {
    pickPacket(samplePacket(2));
    // Rewrite B with one row whose date is month 13.
    demo::DbfWriter writer(path(QStringLiteral("B0105X.DBF")), 0x03,
                                {{QStringLiteral("ID"), 'C', 20},
                                 {QStringLiteral("KOD_F"), 'C', 2},
                                 {QStringLiteral("DD"), 'D', 8},
                                 {QStringLiteral("TYP"), 'C', 1},
                                 {QStringLiteral("SALDO"), 'N', 15, 2},
                                 {QStringLiteral("DELTA"), 'N', 15, 2}});
    writer.addRow({QString(), QStringLiteral("**"), QDate(2005, 1, 1), QStringLiteral("1"), 0, 0});
    writer.addRow(
        {QStringLiteral("0100001"), QStringLiteral("01"), QDate(2005, 1, 31), QStringLiteral("1"), 5, 5});
    writer.addRow(
        {QStringLiteral("0100002"), QStringLiteral("01"), QByteArray("20051340"), QStringLiteral("1"), 5, 5});
    writer.finish();
    const QString message = runCommand();
    EXPECT_EQ(message,
              QStringLiteral("Неверное значение в файле ") +
                  QDir::toNativeSeparators(path(QStringLiteral("B0105X.DBF"))) +
                  QStringLiteral(": строка 3, ID 0100002, поле DD ('0.0' is not a valid timestamp)"));
    EXPECT_EQ(centralRows(), 0);
}

TEST_P(ResultsTest, ABadDateInTheItemsStopsTheCopyBeforeAnythingIsWritten) {
    SamplePacket packet = samplePacket(3);
    packet.items[2].begDate = QByteArray("20050231");
    pickPacket(packet);
    bool refusedAsPacket = false;
    try {
        service().receive();
    } catch (const reception::PacketError& e) {
        refusedAsPacket = true;
        EXPECT_TRUE(e.message().endsWith(
            QStringLiteral(": строка 3, ID 0100003, поле BEG_DATE ('0.0' is not a valid timestamp)")))
            << e.message().toStdString();
    }
    EXPECT_TRUE(refusedAsPacket);
    EXPECT_EQ(centralRows(), 0);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("A0105X.DBF"))));
}

TEST_P(ResultsTest, ATruncatedBFileIsRefusedNamingBothSizes) {
    pickPacket(samplePacket(3));
    QFile b(path(QStringLiteral("B0105X.DBF")));
    const qint64 whole = b.size();
    // Half a record and the end mark missing: the copy is still running.
    ASSERT_TRUE(b.resize(whole - 1 - 20));
    const QString message = runCommand();
    EXPECT_EQ(message,
              QStringLiteral("Файл ") + QDir::toNativeSeparators(path(QStringLiteral("B0105X.DBF"))) +
                  QStringLiteral(" короче, чем указано в его заголовке: %1 байт вместо %2. Возможно, он еще "
                                 "копируется; прием невозможен.")
                      .arg(whole - 21)
                      .arg(whole - 1));
    EXPECT_EQ(centralRows(), 0);

    // Without its end mark only, the file is whole.
    pickPacket(samplePacket(3));
    ASSERT_TRUE(b.resize(b.size() - 1));
    EXPECT_EQ(runCommand(), QString());
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 3);
}

TEST_P(ResultsTest, RowsOfAnotherBranchAfterTheValidatedOnesAreNamedInAWarning) {
    SamplePacket packet = samplePacket(6); // 2 header rows and 24 rows of branch 01
    // Items of the packet under foreign codes: the checks find nothing wrong with them.
    packet.balances << BalanceRow{QStringLiteral("0100001"),
                                  QStringLiteral("02"),
                                  QDate(2005, 1, 31),
                                  QStringLiteral("1"),
                                  1,
                                  1}
                    << BalanceRow{QStringLiteral("0100001"),
                                  QStringLiteral("02"),
                                  QDate(2005, 1, 31),
                                  QStringLiteral("3"),
                                  1,
                                  1}
                    << BalanceRow{QStringLiteral("0100002"),
                                  QStringLiteral("03"),
                                  QDate(2005, 1, 31),
                                  QStringLiteral("1"),
                                  1,
                                  1};
    pickPacket(packet);
    ReceptionOutcome outcome{};
    ASSERT_EQ(runCommand(&outcome), QString()) << ui_.protocols.value(0).title.toStdString();
    EXPECT_EQ(outcome, ReceptionOutcome::Accepted);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where KOD_F <> '01'")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST3 where KOD_F <> '01'")), 0);
    EXPECT_EQ(service().state().LeftOutRows, 3);
    EXPECT_EQ(ui_.texts(QStringLiteral("warning")),
              QStringList{QStringLiteral("Строки другого филиала в файле ") +
                          QDir::toNativeSeparators(path(QStringLiteral("B0105X.DBF"))) +
                          QStringLiteral(" не приняты: 3 (код филиала: 02, 03)")});
    EXPECT_EQ(ui_.texts(QStringLiteral("info")),
              QStringList{QStringLiteral("Прием данных успешно завершен.")});
}

TEST_P(ResultsTest, ControlRowsSwitchTheirCheckOnAndNeverReachTheBalanceTables) {
    SamplePacket packet = samplePacket(2);
    for (const char* plane : {"5", "6", "7", "8"})
        packet.balances << BalanceRow{QStringLiteral("0100001"),
                                      QStringLiteral("01"),
                                      QDate(2004, 12, 31),
                                      QString::fromLatin1(plane),
                                      50,
                                      0};
    pickPacket(packet);
    ReceptionOutcome outcome{};
    ASSERT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::Accepted);
    EXPECT_TRUE(service().state().HasControlPlanes);
    EXPECT_TRUE(ui_.infoLabels.contains(QStringLiteral("Проверка корректности контрольных остатков")));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where TYP not in ('1','2')")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST3 where TYP not in ('3','4')")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST")), 4);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST3")), 4);

    // A control row dated other than the day before the selection is found by that check.
    packet.balances.last().dd = QDate(2005, 1, 31);
    pickPacket(packet);
    EXPECT_EQ(runCommand(), QStringLiteral("Ошибки при проверке данных. Данные не приняты."));
    EXPECT_TRUE(
        ui_.protocols.last().title.contains(QStringLiteral("Ошибка формата контрольных остатков (рубли)")))
        << ui_.protocols.last().title.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, ResultsTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace

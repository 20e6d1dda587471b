// Loading a packet: the batched copy, the refusal, the replacement and the archive.
#include <QFileInfo>
#include <QSqlQuery>

#include "ReceptionFixture.h"
#include "db/Schema.h"
#include "dbf/DbfTable.h"
#include "reception/DbCopy.h"
#include "reception/Replacement.h"

using namespace svod;
using namespace svod::test;
using reception::ReceptionOutcome;

namespace {

class LoadingTest : public ReceptionFixture {
protected:
    // The old state of branch 01 and of another branch.
    void seedAcceptedData() {
        insertItem(QStringLiteral("0100001"), QStringLiteral("01"));    // in the packet
        insertItem(QStringLiteral("01OLD_OPEN"), QStringLiteral("01")); // removed
        insertItem(QStringLiteral("01OLD_GONE"), QStringLiteral("01"),
                   QDate(2004, 6, 1)); // written off: kept
        insertItem(QStringLiteral("0200001"), QStringLiteral("02"));
        insertBalance(QStringLiteral("INV_OST"), QStringLiteral("01OLD_GONE"), QStringLiteral("01"),
                      QDate(2004, 12, 31), QStringLiteral("1"), 5);
        insertBalance(QStringLiteral("INV_OST"), QStringLiteral("0100001"), QStringLiteral("01"),
                      QDate(2005, 6, 30), QStringLiteral("2"), 7);
        insertBalance(QStringLiteral("INV_OST3"), QStringLiteral("0100001"), QStringLiteral("01"),
                      QDate(2005, 6, 30), QStringLiteral("3"), 9);
        insertBalance(QStringLiteral("INV_OST"), QStringLiteral("0200001"), QStringLiteral("02"),
                      QDate(2005, 6, 30), QStringLiteral("1"), 11);
    }
    QStringList ids(const QString& sql) {
        QStringList result;
        QSqlQuery q = c().query(sql);
        while (q.next())
            result << q.value(0).toString().trimmed();
        return result;
    }
    // Loads the B file into TEMP2 the way priemNEW does.
    void copyBalances(const SamplePacket& packet, const QString& acceptCode) {
        writeBalances(path(QStringLiteral("B0105X.DBF")), packet.balances);
        dbf::DbfTable table;
        table.setOpenMode(dbf::DbfTable::OpenMode::Normal);
        table.setFilePath(dir_.path());
        table.setTableName(QStringLiteral("B0105X.DBF"));
        table.open();
        c().execute(reception::statements::createTemp2(c().dialect()));
        reception::DBCopy(table, c(), c().dialect().tempTable(QStringLiteral("TEMP2")),
                          db::balanceColumnNames(), acceptCode, ui_, [this] { service().CheckAbort(); });
    }
    bool tempTablesGone() {
        // Creating them again succeeds only when the command dropped them.
        try {
            c().execute(reception::statements::createTemp1(c().dialect()));
            c().execute(reception::statements::createTemp2(c().dialect()));
        } catch (const Error&) {
            return false;
        }
        service().dropTempTables();
        return true;
    }
};

TEST(CopyProgressTest, MaximumIsRoundedHalfToEven) {
    EXPECT_EQ(reception::copyProgressMaximum(500), 0);
    EXPECT_EQ(reception::copyProgressMaximum(1001), 1);
    EXPECT_EQ(reception::copyProgressMaximum(1500), 2);
    EXPECT_EQ(reception::copyProgressMaximum(2500), 2);
    EXPECT_EQ(reception::copyProgressMaximum(3500), 4);
    EXPECT_EQ(reception::copyProgressMaximum(1920002), 1920);
}

TEST_P(LoadingTest, AcceptedPacketReplacesTheBranchDataAndIsArchived) {
    seedAcceptedData();
    pickPacket(samplePacket(3));
    ReceptionOutcome outcome{};
    ASSERT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::Accepted);
    EXPECT_EQ(ids(QStringLiteral("select ID from INV where KOD_F = '01' order by ID")),
              QStringList({QStringLiteral("0100001"), QStringLiteral("0100002"), QStringLiteral("0100003"),
                           QStringLiteral("01OLD_GONE")}));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '02'")), 1);
    // Planes 1 and 2 from the selection date on came from the packet; the older row stayed.
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where KOD_F = '01'")), 7);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where KOD_F = '01' and SALDO = 7")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where ID = '01OLD_GONE'")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST3 where KOD_F = '01'")), 6);
    EXPECT_EQ(count(QStringLiteral(
                  "select count(*) from INV_OST where KOD_F = '**' or KOD_F = '02' and SALDO <> 11")),
              0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where KOD_F = '02'")), 1);
    // The column without an INV counterpart was skipped; INV columns without a DBF column are NULL.
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where ID = '0100002' and VNESH_NUM is null and "
                                   "NAME = 'Станок' and GROUP1 = '1'")),
              1);
    EXPECT_EQ(ui_.texts(QStringLiteral("info")),
              QStringList{QStringLiteral("Прием данных успешно завершен.")});
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("A0105X.DBF"))));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("RECEIVED/A0105X.DBF"))));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("RECEIVED/B0105X.DBF"))));
    EXPECT_EQ(service().inputDir(), dir_.path());
    EXPECT_EQ(ui_.status(), QStringLiteral(" "));
    EXPECT_TRUE(tempTablesGone());
    EXPECT_TRUE(ui_.infoLabels.contains(QStringLiteral("Перенос новых движений (рубли)")));

    // The same packet names again: the archived copies are overwritten.
    pickPacket(samplePacket(1));
    ASSERT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::Accepted);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("A0105X.DBF"))));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '01'")), 2);
}

TEST_P(LoadingTest, WithoutRoubleSelectionDateInvOst3IsUntouched) {
    seedAcceptedData();
    SamplePacket packet = samplePacket(2);
    packet.balances.removeAt(1);
    pickPacket(packet);
    ASSERT_EQ(runCommand(), QString());
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST3")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST3 where SALDO = 9")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where KOD_F = '01'")), 5);
    EXPECT_FALSE(ui_.infoLabels.contains(QStringLiteral("Перенос новых движений (рубли)")));
}

TEST_P(LoadingTest, TestReceptionGoesToBranch99) {
    seedAcceptedData();
    ui_.testBranch = true;
    pickPacket(samplePacket(2));
    ASSERT_EQ(runCommand(), QString());
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '99'")), 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where KOD_F = '99'")), 4);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST3 where KOD_F = '99'")), 4);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '01'")), 3); // untouched
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where KOD_F = '**'")), 0);
}

TEST_P(LoadingTest, CopyToTheTestBranchKeepsHeaderRows) {
    copyBalances(samplePacket(2), QStringLiteral("99"));
    const QString temp2 = c().dialect().tempTable(QStringLiteral("TEMP2"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from ") + temp2 + QStringLiteral(" where KOD_F = '**'")),
              2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from ") + temp2 + QStringLiteral(" where KOD_F = '99'")),
              8);
    EXPECT_EQ(count(QStringLiteral("select count(*) from ") + temp2 +
                    QStringLiteral(" where KOD_F = '99' and SALDO = 100.5 "
                                   "and DELTA = 10 and ID = '0100002'")),
              2);
}

TEST_P(LoadingTest, BatchesOf1001RowsAdvanceTheProgress) {
    SamplePacket packet;
    for (int i = 0; i < 1001; ++i)
        packet.balances << BalanceRow{QStringLiteral("X%1").arg(i),
                                      QStringLiteral("01"),
                                      QDate(2005, 1, 31),
                                      QStringLiteral("1"),
                                      1,
                                      1};
    copyBalances(packet, QStringLiteral("01"));
    EXPECT_EQ(ui_.maxima, QList<int>{1});
    EXPECT_EQ(ui_.positions, QList<int>({0, 1}));
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from ") + c().dialect().tempTable(QStringLiteral("TEMP2"))),
        1001);
    service().dropTempTables();

    packet.balances.resize(500);
    ui_.maxima.clear();
    ui_.positions.clear();
    copyBalances(packet, QStringLiteral("01"));
    EXPECT_EQ(ui_.maxima, QList<int>{0});
    EXPECT_EQ(ui_.positions, QList<int>{0});
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from ") + c().dialect().tempTable(QStringLiteral("TEMP2"))),
        500);
}

TEST_P(LoadingTest, OtherTemporaryTablesOfTheConnectionSurviveAReception) {
    c().execute(c().dialect().selectTop0IntoTemp(QStringLiteral("KEPT"), QStringLiteral("INV")));
    pickPacket(samplePacket(2));
    ASSERT_EQ(runCommand(), QString());
    EXPECT_TRUE(tempTablesGone());
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from ") + c().dialect().tempTable(QStringLiteral("KEPT"))), 0);
    if (GetParam() == db::Backend::SQLite) {
        // Without it the temporary database is discarded whole, and the next reception starts afresh.
        c().execute(QStringLiteral("DROP table ") + c().dialect().tempTable(QStringLiteral("KEPT")));
        pickPacket(samplePacket(3));
        ASSERT_EQ(runCommand(), QString());
        EXPECT_TRUE(tempTablesGone());
        EXPECT_EQ(count(QStringLiteral("select count(*) from temp.sqlite_master")), 0);
        EXPECT_EQ(c().scalar(QStringLiteral("pragma temp_store")).toInt(), 1);
        pickPacket(samplePacket(1));
        ASSERT_EQ(runCommand(), QString());
        EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '01'")), 1);
    }
}

TEST_P(LoadingTest, RefusalShowsTheProtocolsAndLeavesNothingBehind) {
    seedAcceptedData();
    SamplePacket packet = samplePacket(3);
    packet.items[1].group1.clear();
    packet.items[2].name.clear();
    pickPacket(packet);
    EXPECT_EQ(runCommand(), QStringLiteral("Ошибки при проверке данных. Данные не приняты."));
    ASSERT_EQ(ui_.previewSizes, QList<int>{2}); // one preview, two protocols in check order
    EXPECT_TRUE(ui_.protocols[0].title.contains(
        QStringLiteral("Обнаружены позиции с незаполненными обязательными полями.")));
    EXPECT_TRUE(
        ui_.protocols[0].title.startsWith(QStringLiteral("Данные не приняты\r\nФилиал: Филиал один\r\n")));
    EXPECT_EQ(ui_.protocols[1].title,
              QStringLiteral("Обнаружены позиции с пустым кодом группы по МСФО.\r\n "));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '01'")), 3);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where SALDO = 7")), 1);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("A0105X.DBF"))));
    EXPECT_EQ(service().protocolStore().count(), 0);
    EXPECT_TRUE(tempTablesGone());
    EXPECT_TRUE(ui_.texts(QStringLiteral("info")).isEmpty());
}

TEST_P(LoadingTest, ChecksThatLookBalancesUpJudgeAFileReception) {
    // SQLite builds the balance rows' lookup index only when a check needs it: both checks must
    // still find their items, the group-9 one without the index, the residual value one with it.
    SamplePacket packet = samplePacket(3);
    packet.items[1].group1 = QStringLiteral("9");
    ASSERT_EQ(packet.balances[11].id, QStringLiteral("0100003"));
    ASSERT_EQ(packet.balances[11].typ, QStringLiteral("2"));
    packet.balances[11].saldo = 50; // depreciation 50 on a turnover of 10
    pickPacket(packet);
    EXPECT_EQ(runCommand(), QStringLiteral("Ошибки при проверке данных. Данные не приняты."));
    ASSERT_EQ(ui_.protocols.size(), 2);
    EXPECT_TRUE(ui_.protocols[0].title.contains(
        QStringLiteral("Обнаружены позиции из 9-ой группы с движениями по износу.")));
    ASSERT_EQ(ui_.protocols[0].rows.size(), 1);
    EXPECT_EQ(ui_.protocols[0].rows[0][0], QStringLiteral("0100002"));
    EXPECT_EQ(ui_.protocols[1].title,
              QStringLiteral("Обнаружены позиции с отрицательной остаточной стоимостью.\r\n "));
    ASSERT_EQ(ui_.protocols[1].rows.size(), 1);
    EXPECT_EQ(ui_.protocols[1].rows[0][0], QStringLiteral("0100003"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 0);
    EXPECT_TRUE(tempTablesGone());
}

TEST_P(LoadingTest, CancelBetweenBatchesChangesNothing) {
    seedAcceptedData();
    pickPacket(samplePacket(600)); // 2402 balance rows: two full batches
    ui_.onProgress = [](RecordingInteraction& ui) {
        if (ui.position() == 1)
            ui.requestCancel();
    };
    EXPECT_EQ(runCommand(), QStringLiteral("Прервано пользователем"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '01'")), 3);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where KOD_F = '01'")), 2);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("B0105X.DBF"))));
    EXPECT_TRUE(tempTablesGone());
}

TEST_P(LoadingTest, CancelDuringTheReplacementHasNoEffect) {
    pickPacket(samplePacket(2));
    ui_.onInfo = [](RecordingInteraction& ui, const QString& text) {
        if (text == QStringLiteral("Удаление старых движений"))
            ui.requestCancel();
    };
    ReceptionOutcome outcome{};
    EXPECT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::Accepted);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 2);
}

TEST_P(LoadingTest, DeclinedConfirmationWritesNothing) {
    pickPacket(samplePacket(2));
    ui_.answers = {reception::Answer::Cancel};
    ReceptionOutcome outcome{};
    EXPECT_EQ(runCommand(&outcome), QString());
    EXPECT_EQ(outcome, ReceptionOutcome::Declined);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 0);
    EXPECT_EQ(ui_.status(), QStringLiteral(" "));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("A0105X.DBF"))));
}

TEST_P(LoadingTest, DatabaseErrorInTheReplacementRollsBack) {
    seedAcceptedData();
    // A trigger-free way to make the last insert fail: INV_OST3 is gone.
    c().execute(QStringLiteral("drop table INV_OST3"));
    pickPacket(samplePacket(2));
    EXPECT_NE(runCommand(), QString());
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '01'")), 3);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST where SALDO = 7")), 1);
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("A0105X.DBF"))));
}

INSTANTIATE_TEST_SUITE_P(Backends, LoadingTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace

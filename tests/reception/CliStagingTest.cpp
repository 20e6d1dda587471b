// svod-cli receive --direct, receive-inflation and the answers to the two history questions.
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "StagingFixture.h"

using namespace svod;
using namespace svod::test;

namespace {

struct CliRun {
    int exit = -1;
    QList<QJsonObject> lines;
    QString out;
    // The texts of the lines of one kind.
    QStringList texts(const QString& kind) const {
        QStringList result;
        for (const QJsonObject& line : lines)
            if (line[QStringLiteral("kind")].toString() == kind)
                result << line[kind == u"protocol" ? QStringLiteral("title") : QStringLiteral("text")]
                              .toString();
        return result;
    }
    QString status() const {
        return lines.isEmpty() ? QString() : lines.last()[QStringLiteral("status")].toString();
    }
};

class CliStagingTest : public StagingFixture {
protected:
    CliRun cli(const QStringList& args) {
        QProcess process;
        process.start(QStringLiteral(SVOD_CLI_PATH),
                      QStringList{QStringLiteral("--db"), db_->connectionString(), QStringLiteral("--json")} +
                          args);
        EXPECT_TRUE(process.waitForFinished(120'000));
        CliRun run;
        run.exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts))
            run.lines << QJsonDocument::fromJson(line.toUtf8()).object();
        return run;
    }
    void goneItemBeforeTheLimit() {
        c().execute(QStringLiteral("update FILIALS set D_MIN_VAL = ") +
                    c().dialect().dateLiteral(DateValue::fromYmd(2005, 7, 1)) +
                    QStringLiteral(" where KOD = '01'"));
        insertItem(QStringLiteral("01GONE"), QStringLiteral("01"));
        insertBalance(QStringLiteral("INV_OST"), QStringLiteral("01GONE"), QStringLiteral("01"),
                      QDate(2004, 12, 31), QStringLiteral("1"), 7);
    }
};

TEST_P(CliStagingTest, DirectReceptionDeclinedAcceptedThenGone) {
    stagePacket(samplePacket(2));
    CliRun run = cli({QStringLiteral("receive"), QStringLiteral("--direct")});
    EXPECT_EQ(run.exit, 3) << run.out.toStdString();
    EXPECT_EQ(run.status(), QStringLiteral("declined"));
    EXPECT_TRUE(stagingExists(reception::StagingItems));

    run = cli({QStringLiteral("receive"), QStringLiteral("--direct"), QStringLiteral("--yes")});
    EXPECT_EQ(run.exit, 0) << run.out.toStdString();
    EXPECT_EQ(run.status(), QStringLiteral("accepted"));
    EXPECT_EQ(run.texts(QStringLiteral("info")),
              QStringList{QStringLiteral("Прием данных успешно завершен.")});
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '01'")), 2);
    EXPECT_FALSE(stagingExists(reception::StagingItems));

    run = cli({QStringLiteral("receive"), QStringLiteral("--direct"), QStringLiteral("--yes")});
    EXPECT_EQ(run.exit, 2);
    EXPECT_EQ(run.texts(QStringLiteral("error")),
              QStringList{QStringLiteral("Данные для приема отсутствуют (TEMP_MU_MSFO_SBROS_A).")});
    EXPECT_EQ(cli({QStringLiteral("receive"), QStringLiteral("--direct"), QStringLiteral("extra")}).exit, 64);
}

TEST_P(CliStagingTest, DeletedItemsQuestionIsAnsweredFromTheFlag) {
    goneItemBeforeTheLimit();
    stagePacket(samplePacket(2));
    CliRun run = cli({QStringLiteral("receive"), QStringLiteral("--direct"), QStringLiteral("--yes")});
    EXPECT_EQ(run.exit, 1) << run.out.toStdString();
    EXPECT_EQ(run.status(), QStringLiteral("refused"));
    ASSERT_EQ(run.texts(QStringLiteral("protocol")).size(), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where ID = '01GONE'")), 1);

    run = cli({QStringLiteral("receive"), QStringLiteral("--direct"), QStringLiteral("--yes"),
               QStringLiteral("--deleted-items"), QStringLiteral("accept")});
    EXPECT_EQ(run.exit, 0) << run.out.toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where ID = '01GONE'")), 0);
}

TEST_P(CliStagingTest, ClosedPeriodQuestionIsAnsweredFromTheFlag) {
    c().execute(QStringLiteral("update FILIALS set D_MIN_RUB = ") +
                c().dialect().dateLiteral(DateValue::fromYmd(2005, 2, 1)) +
                QStringLiteral(" where KOD = '01'"));
    pickPacket(samplePacket(2));
    const QString protocol = path(QStringLiteral("protocol.txt"));
    CliRun run = cli({QStringLiteral("receive"), ui_.fileToChoose, QStringLiteral("--yes"),
                      QStringLiteral("--protocol"), protocol});
    EXPECT_EQ(run.exit, 1) << run.out.toStdString();
    const QStringList titles = run.texts(QStringLiteral("protocol"));
    ASSERT_EQ(titles.size(), 1);
    EXPECT_TRUE(titles[0].contains(QStringLiteral(" ПО РУБЛЯМ (мин.дата движений в пакете = 01.01.2005")));
    EXPECT_TRUE(QFileInfo::exists(protocol));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 0);

    run = cli({QStringLiteral("receive"), ui_.fileToChoose, QStringLiteral("--yes"),
               QStringLiteral("--closed-period"), QStringLiteral("accept")});
    EXPECT_EQ(run.exit, 0) << run.out.toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 2);
}

TEST_P(CliStagingTest, InflationFromFileAndStagingTable) {
    const QString file = path(QStringLiteral("INFL01.DBF"));
    writeBalances(file, {{QStringLiteral("01B"), QStringLiteral("01"), QDate(2005, 12, 31),
                          QStringLiteral("5"), 3, 3}});
    CliRun run = cli({QStringLiteral("receive-inflation"), file, QStringLiteral("--yes")});
    EXPECT_EQ(run.exit, 0) << run.out.toStdString();
    EXPECT_EQ(run.texts(QStringLiteral("info")),
              QStringList{QStringLiteral("Прием данных по инфляции успешно завершен.")});
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("RECEIVED/INFL01.DBF"))));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_INFL where KOD_F = '01'")), 1);

    run = cli({QStringLiteral("receive-inflation"), QStringLiteral("--direct"), QStringLiteral("--yes")});
    EXPECT_EQ(run.exit, 2);
    EXPECT_EQ(run.texts(QStringLiteral("error")),
              QStringList{QStringLiteral("Данные для приема отсутствуют (TEMP_MU_MSFO_SBROS_INFL).")});
    stageBalances(reception::StagingInflation, {{QStringLiteral("01C"), QStringLiteral("01"),
                                                 QDate(2006, 12, 31), QStringLiteral("6"), 4, 4}});
    run = cli({QStringLiteral("receive-inflation"), QStringLiteral("--direct"), QStringLiteral("--yes")});
    EXPECT_EQ(run.exit, 0) << run.out.toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_INFL where KOD_F = '01' and ID = '01C'")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_INFL where KOD_F = '01'")), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, CliStagingTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace

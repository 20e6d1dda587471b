// svod-cli receive end to end: exit statuses, JSON lines, protocol files; and a reception killed
// inside its replacement transaction.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "db/Connection.h"
#include "support/PacketFixture.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::test;

namespace {

struct CliResult {
    int exit = -1;
    QString out;
    QList<QJsonObject> json() const {
        QList<QJsonObject> lines;
        for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
            lines << QJsonDocument::fromJson(line.toUtf8()).object();
        return lines;
    }
};

class ReceiveCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = std::make_unique<TestDatabase>(db::Backend::SQLite);
        db_->createSchema();
        db_->connection().execute(
            QStringLiteral("insert into FILIALS (KOD, NAZVANIE) values ('01', 'Филиал один')"));
        a_ = dir_.filePath(QStringLiteral("A0105X.DBF"));
        writePacket(a_, dir_.filePath(QStringLiteral("B0105X.DBF")), samplePacket(3));
    }
    CliResult run(const QStringList& args, bool json = true) {
        QProcess process;
        QStringList all = {QStringLiteral("--db"), db_->connectionString()};
        if (json)
            all << QStringLiteral("--json");
        process.start(QStringLiteral(SVOD_CLI_PATH), all + args);
        EXPECT_TRUE(process.waitForFinished(120'000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput())};
    }
    int count(const QString& sql) { return db_->connection().scalar(sql).toInt(); }

    QTemporaryDir dir_;
    std::unique_ptr<TestDatabase> db_;
    QString a_;
};

TEST_F(ReceiveCliTest, WithoutYesTheReceptionIsDeclined) {
    const CliResult r = run({QStringLiteral("receive"), a_});
    EXPECT_EQ(r.exit, 3);
    const QList<QJsonObject> lines = r.json();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0][QStringLiteral("kind")].toString(), QStringLiteral("question"));
    EXPECT_EQ(lines[0][QStringLiteral("answer")].toString(), QStringLiteral("cancel"));
    EXPECT_TRUE(lines[0][QStringLiteral("text")].toString().startsWith(
        QStringLiteral("Подтвердите прием данных по филиалу:\r\n 01 Филиал один\r\n")));
    EXPECT_EQ(lines[1][QStringLiteral("status")].toString(), QStringLiteral("declined"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 0);
}

TEST_F(ReceiveCliTest, AcceptedAndPlainOutput) {
    const CliResult r = run({QStringLiteral("receive"), a_, QStringLiteral("--yes")}, false);
    EXPECT_EQ(r.exit, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(
        QStringLiteral("[answer] ok\n[info]\nПрием данных успешно завершен.\n[result] accepted")))
        << r.out.toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '01'")), 3);
    EXPECT_TRUE(QFile::exists(dir_.filePath(QStringLiteral("RECEIVED/B0105X.DBF"))));
}

TEST_F(ReceiveCliTest, StoppedRefusedAndUsage) {
    EXPECT_EQ(
        run({QStringLiteral("receive"), dir_.filePath(QStringLiteral("A0199X.DBF")), QStringLiteral("--yes")})
            .exit,
        2);

    SamplePacket packet = samplePacket(2);
    packet.items[0].group1.clear();
    writePacket(a_, dir_.filePath(QStringLiteral("B0105X.DBF")), packet);
    const QString csv = dir_.filePath(QStringLiteral("protocol.csv"));
    const CliResult r = run({QStringLiteral("receive"), a_, QStringLiteral("--yes"), QStringLiteral("--test"),
                             QStringLiteral("--protocol"), csv});
    EXPECT_EQ(r.exit, 1);
    const QList<QJsonObject> lines = r.json();
    ASSERT_GE(lines.size(), 3);
    const QJsonObject protocol = lines[lines.size() - 3];
    EXPECT_EQ(protocol[QStringLiteral("kind")].toString(), QStringLiteral("protocol"));
    EXPECT_EQ(protocol[QStringLiteral("columns")].toArray().first().toString(), QStringLiteral("id"));
    EXPECT_EQ(protocol[QStringLiteral("rows")].toArray().size(), 1);
    EXPECT_EQ(lines[lines.size() - 2][QStringLiteral("text")].toString(),
              QStringLiteral("Ошибки при проверке данных. Данные не приняты."));
    EXPECT_EQ(lines.last()[QStringLiteral("status")].toString(), QStringLiteral("refused"));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("Данные не приняты\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(
        QStringLiteral("id;Кат.;Карточка;Инв.номер;Наименование;Дата ввода;Дата списания\n0100001;")))
        << text.toStdString();

    EXPECT_EQ(
        run({QStringLiteral("receive"), a_, QStringLiteral("--closed-period"), QStringLiteral("maybe")}).exit,
        64);
    EXPECT_EQ(
        run({QStringLiteral("receive"), a_, QStringLiteral("--protocol"), QStringLiteral("x.doc")}).exit, 64);
    EXPECT_EQ(run({QStringLiteral("receive")}).exit, 64);
}

TEST_F(ReceiveCliTest, ExitStatusesFollowWhatTheDatabaseHolds) {
    // Committed but not archived: accepted, a warning naming the file, its own exit status.
    QFile blocker(dir_.filePath(QStringLiteral("RECEIVED")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CliResult r = run({QStringLiteral("receive"), a_, QStringLiteral("--yes")});
    EXPECT_EQ(r.exit, 5) << r.out.toStdString();
    QList<QJsonObject> lines = r.json();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[lines.size() - 3][QStringLiteral("text")].toString(),
              QStringLiteral("Прием данных успешно завершен."));
    EXPECT_EQ(lines[lines.size() - 2][QStringLiteral("kind")].toString(), QStringLiteral("warning"));
    EXPECT_TRUE(
        lines[lines.size() - 2][QStringLiteral("text")].toString().contains(QStringLiteral("A0105X.DBF")));
    EXPECT_EQ(lines.last()[QStringLiteral("status")].toString(), QStringLiteral("accepted"));
    EXPECT_EQ(lines.last()[QStringLiteral("exit")].toInt(), 5);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 3);

    // Rows of another branch: accepted, and listed.
    QFile::remove(dir_.filePath(QStringLiteral("RECEIVED")));
    SamplePacket packet = samplePacket(5);
    packet.balances << BalanceRow{
        QStringLiteral("0100001"), QStringLiteral("07"), QDate(2005, 1, 31), QStringLiteral("1"), 1, 1};
    writePacket(a_, dir_.filePath(QStringLiteral("B0105X.DBF")), packet);
    r = run({QStringLiteral("receive"), a_, QStringLiteral("--yes")});
    EXPECT_EQ(r.exit, 0) << r.out.toStdString();
    lines = r.json();
    ASSERT_GE(lines.size(), 2);
    const QJsonObject leftOut = lines[lines.size() - 2];
    EXPECT_EQ(leftOut[QStringLiteral("kind")].toString(), QStringLiteral("left-out"));
    EXPECT_EQ(leftOut[QStringLiteral("rows")].toInt(), 1);
    EXPECT_EQ(leftOut[QStringLiteral("codes")].toArray(), QJsonArray{QStringLiteral("07")});

    // A bad date: stopped by a validation message, nothing written.
    packet = samplePacket(2);
    packet.items[1].begDate = QByteArray("20051301");
    writePacket(a_, dir_.filePath(QStringLiteral("B0105X.DBF")), packet);
    r = run({QStringLiteral("receive"), a_, QStringLiteral("--yes"), QStringLiteral("--test")});
    EXPECT_EQ(r.exit, 2) << r.out.toStdString();
    EXPECT_EQ(r.json().last()[QStringLiteral("status")].toString(), QStringLiteral("stopped"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV where KOD_F = '99'")), 0);

    // The dbf command prints the bad date as an empty cell, warns on standard error and goes on.
    QProcess dbf;
    dbf.start(QStringLiteral(SVOD_CLI_PATH), {QStringLiteral("dbf"), a_});
    ASSERT_TRUE(dbf.waitForFinished(60'000));
    EXPECT_EQ(dbf.exitCode(), 0);
    const QStringList out = QString::fromUtf8(dbf.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(out.size(), 3);
    EXPECT_TRUE(out[2].startsWith(QStringLiteral("0100002;01;1;10;20;;;Станок;"))) << out[2].toStdString();
    EXPECT_TRUE(QString::fromUtf8(dbf.readAllStandardError())
                    .contains(QStringLiteral(
                        "[warning]\nстрока 2, поле BEG_DATE: '0.0' is not a valid timestamp\n")));
}

TEST_F(ReceiveCliTest, KilledInsideTheReplacementLeavesTheCentralTablesAsBefore) {
    db::Connection& c = db_->connection();
    c.execute(QStringLiteral("insert into INV (ID, KOD_F, NAME) values ('01OLD', '01', 'old')"));
    c.execute(QStringLiteral("insert into INV_OST (ID, KOD_F, DD, TYP, SALDO, DELTA) values "
                             "('01OLD', '01', '2005-06-30 00:00:00', '1', 5, 0)"));
    const auto snapshot = [&] {
        QStringList rows;
        for (const char* table : {"INV", "INV_OST", "INV_OST3"}) {
            const QString name = QString::fromLatin1(table);
            QSqlQuery q = c.query(QStringLiteral("select ID, KOD_F, ") +
                                  (name == u"INV" ? QStringLiteral("NAME") : QStringLiteral("SALDO")) +
                                  QStringLiteral(" from ") + name + QStringLiteral(" order by ID"));
            while (q.next())
                rows << name + u':' + q.value(0).toString() + u':' + q.value(2).toString();
        }
        return rows;
    };
    const QStringList before = snapshot();

    const QString marker = dir_.filePath(QStringLiteral("in-replacement"));
    QProcess process;
    process.start(QStringLiteral(SVOD_PAUSED_RECEPTION_PATH), {db_->connectionString(), a_, marker});
    ASSERT_TRUE(process.waitForStarted());
    for (int i = 0; i < 600 && !QFile::exists(marker) && process.state() == QProcess::Running; ++i)
        QThread::msleep(100);
    ASSERT_TRUE(QFile::exists(marker)) << process.readAllStandardOutput().toStdString();
    process.kill(); // SIGKILL
    process.waitForFinished();
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);

    // A new connection sees the last commit only.
    auto fresh = db_->openSecond();
    EXPECT_EQ(fresh->scalar(QStringLiteral("select count(*) from INV")).toInt(), 1);
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(QFile::exists(a_));
}

} // namespace

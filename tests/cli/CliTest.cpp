#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "support/TestDatabase.h"

using namespace svod;
using svod::test::runCli;

class CliDatabaseTest : public ::testing::TestWithParam<db::Backend> {
protected:
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(GetParam());
        db_ = std::make_unique<test::TestDatabase>(GetParam());
    }
    QStringList withDb(const QStringList& args) const {
        return QStringList{QStringLiteral("--db"), db_->connectionString()} + args;
    }
    std::unique_ptr<test::TestDatabase> db_;
};

TEST_P(CliDatabaseTest, InitDbDemoThenQueryBranches) {
    QTemporaryDir packets;
    auto run = runCli(withDb({QStringLiteral("init-db"), QStringLiteral("--demo"), packets.path()}));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    // Running it again adds nothing twice.
    run = runCli(withDb({QStringLiteral("init-db"), QStringLiteral("--demo"), packets.path()}));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();

    run = runCli(
        withDb({QStringLiteral("sql"), QStringLiteral("select KOD, NAZVANIE from FILIALS order by KOD")}));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0].toUpper(), QStringLiteral("KOD;NAZVANIE"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("01;"))) << lines[1].toStdString();
    EXPECT_EQ(run.out.count(QStringLiteral("\n01;")), 1) << "branch 01 listed twice";

    run = runCli(withDb({QStringLiteral("sql"), QStringLiteral("select LABEL from CLT order by LABEL")}));
    EXPECT_EQ(run.out.split(u'\n', Qt::SkipEmptyParts).mid(1),
              (QStringList{QStringLiteral("CHECK_ZERO_BST"), QStringLiteral("MIN_DATE_CAN_LOAD_DOL"),
                           QStringLiteral("MIN_DATE_CAN_LOAD_RUB")}));
}

TEST_P(CliDatabaseTest, JsonModeAndDatabaseErrors) {
    ASSERT_EQ(runCli(withDb({QStringLiteral("init-db")})).exitCode, 0);
    auto run = runCli(withDb(
        {QStringLiteral("--json"), QStringLiteral("sql"), QStringLiteral("select 'a;b' as X, NULL as Y")}));
    // Global options go before the command; --json after --db is still global.
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    const auto lines = run.jsonLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0][QStringLiteral("kind")].toString(), QStringLiteral("rows"));
    EXPECT_EQ(lines[1][QStringLiteral("kind")].toString(), QStringLiteral("result"));
    EXPECT_EQ(lines[1][QStringLiteral("exit")].toInt(), 0);

    run = runCli(withDb({QStringLiteral("sql"), QStringLiteral("select * from NO_SUCH_TABLE")}));
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(run.out.contains(QStringLiteral("[error]")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("NO_SUCH_TABLE"), Qt::CaseInsensitive))
        << run.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, CliDatabaseTest, ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });

TEST(Cli, CsvQuotingAndUsageErrors) {
    QTemporaryDir dir;
    const QString db = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("x.db"));
    auto run = runCli({QStringLiteral("--db"), db, QStringLiteral("sql"),
                       QStringLiteral("select 'a;b' as X, 'say \"hi\"' as Y, 'plain' as Z")});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("X;Y;Z\n\"a;b\";\"say \"\"hi\"\"\";plain\n"));

    EXPECT_EQ(runCli({QStringLiteral("no-such-command")}).exitCode, 64);
    EXPECT_EQ(runCli({QStringLiteral("--bogus"), QStringLiteral("sql"), QStringLiteral("select 1")}).exitCode,
              64);
    EXPECT_EQ(runCli({QStringLiteral("--db"), db, QStringLiteral("sql")}).exitCode, 64);
    EXPECT_EQ(runCli({}).exitCode, 64);
    EXPECT_EQ(runCli({QStringLiteral("--help")}).exitCode, 0);
}

TEST(Cli, ConnectionFromIniAndItsFailures) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("pr_vt.ini"));
    // No connection string at all: a clear error, exit 4.
    auto run = runCli({QStringLiteral("--ini"), ini, QStringLiteral("sql"), QStringLiteral("select 1")});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(run.out.contains(QStringLiteral("строка соединения"))) << run.out.toStdString();

    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("[connect]\r\nstring=sqlite:%1\r\n")
                .arg(dir.filePath(QStringLiteral("c.db")))
                .toUtf8());
    f.close();
    run = runCli({QStringLiteral("--ini"), ini, QStringLiteral("sql"), QStringLiteral("select 41+1 as N")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("N\n42\n"));

    // An ADO string for SQL Server goes to the ODBC driver; without a server it fails cleanly.
    run = runCli(
        {QStringLiteral("--db"),
         QStringLiteral("Provider=SQLOLEDB.1;Data Source=127.0.0.1,1;Initial Catalog=x;User ID=u;Password=p"),
         QStringLiteral("sql"), QStringLiteral("select 1")});
    EXPECT_EQ(run.exitCode, 4) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("[error]")));
}

#include <QFile>
#include <QFileInfo>
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

// A band taller than a page is printed in parts, and the run says so.
TEST_P(CliDatabaseTest, ReportRunWarnsOfABandTallerThanAPage) {
    ASSERT_EQ(runCli(withDb({QStringLiteral("init-db")})).exitCode, 0);
    QTemporaryDir dir;
    QStringList words;
    for (int i = 0; i < 400; ++i)
        words << QStringLiteral("слово%1").arg(i);
    const QString path = dir.filePath(QStringLiteral("Высокий.frf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svod-report version=\"1\">\n"
                              "<page width=\"300\" height=\"240\" orientation=\"portrait\" left=\"20\" "
                              "top=\"20\" right=\"20\" bottom=\"20\"/>\n<band kind=\"reportTitle\" "
                              "name=\"Заголовок\" height=\"12\"><text x=\"0\" y=\"0\" w=\"200\" h=\"12\" "
                              "wrap=\"1\" stretch=\"1\">%1</text></band>\n</svod-report>\n")
                   .arg(words.join(u' '))
                   .toUtf8());
    file.close();
    auto run =
        runCli(withDb({QStringLiteral("report"), QStringLiteral("import"), path, QStringLiteral("--yes")}));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("list")}));
    const QString id = run.out.split(u'\n', Qt::SkipEmptyParts).value(1).section(u';', 0, 0);
    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("run"), id, QStringLiteral("--out"),
                         dir.filePath(QStringLiteral("r.pdf"))}));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("[warning]\nПолоса «Заголовок» выше страницы")))
        << run.out.toStdString();
}

// The demo database with one accepted sample packet runs its reports into every format.
TEST_P(CliDatabaseTest, DemoReportsRunImportExportAndShow) {
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    ASSERT_EQ(runCli(withDb({QStringLiteral("init-db"), QStringLiteral("--demo"), path("packets")})).exitCode,
              0);
    auto run =
        runCli(withDb({QStringLiteral("receive"), path("packets/A010105.dbf"), QStringLiteral("--yes")}));
    ASSERT_EQ(run.exitCode, 0) << "the demo's sample packet is accepted: " << run.out.toStdString();

    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("list")}));
    ASSERT_EQ(run.exitCode, 0);
    const QStringList list = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(list.size(), 5) << run.out.toStdString();
    EXPECT_EQ(list[0], QStringLiteral("ID;NAZV"));
    QString balancesId;
    for (const QString& line : list)
        if (line.endsWith(QStringLiteral(";Остатки по филиалам на дату")))
            balancesId = line.section(u';', 0, 0);
    ASSERT_FALSE(balancesId.isEmpty());

    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("run"), balancesId, QStringLiteral("--set"),
                         QStringLiteral("NA_DATU=31.12.2005"), QStringLiteral("--out"), path("b.csv")}));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    QFile csv(path("b.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(csv.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("на 31 декабря 2005"))) << text.toStdString();
    const QString branchLine = text.section(u'\n', 3, 3);
    EXPECT_TRUE(branchLine.startsWith(QStringLiteral("01;Центральный офис (Москва);"))) << text.toStdString();
    EXPECT_FALSE(branchLine.contains(QStringLiteral(";0,00;0,00;0,00;")))
        << "balances of the accepted packet";

    // Before the packet's period nothing was accepted.
    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("run"), balancesId, QStringLiteral("--set"),
                         QStringLiteral("NA_DATU=2004-12-31"), QStringLiteral("--out"), path("early.frp")}));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    run = runCli({QStringLiteral("report"), QStringLiteral("show"), path("early.frp"),
                  QStringLiteral("--out"), path("early.html")});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    QFile html(path("early.html"));
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(html.readAll());
    EXPECT_TRUE(page.contains(QStringLiteral("на 31 декабря 2004")));
    EXPECT_FALSE(page.contains(QStringLiteral("Центральный офис")));

    for (const QString& ext : {QStringLiteral("pdf"), QStringLiteral("xlsx"), QStringLiteral("rtf")}) {
        run = runCli(withDb({QStringLiteral("report"), QStringLiteral("run"), balancesId,
                             QStringLiteral("--out"), dir.filePath(QStringLiteral("b.") + ext)}));
        EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
        EXPECT_GT(QFileInfo(dir.filePath(QStringLiteral("b.") + ext)).size(), 500) << ext.toStdString();
    }

    // Every demo report asks for its dates and branches; the defaults show the accepted data.
    QString turnoverId;
    for (const QString& line : list)
        if (line.endsWith(QStringLiteral(";Оборотная ведомость за период")))
            turnoverId = line.section(u';', 0, 0);
    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("params"), balancesId}));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    const QStringList params = run.out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(params.value(0), QStringLiteral("NAME;KIND;DEFAULT"));
    EXPECT_TRUE(params.contains(QStringLiteral("CheckListBox1;CheckListBox;*"))) << run.out.toStdString();
    EXPECT_TRUE(params.contains(QStringLiteral("NA_DATU;variable;DateEdit1.Date"))) << run.out.toStdString();
    const QString lastDay = params.filter(QStringLiteral("DateEdit1;DateEdit;")).value(0).section(u';', 2);
    EXPECT_TRUE(lastDay.endsWith(QStringLiteral(".2005")))
        << "the last day with accepted balances: " << run.out.toStdString();
    const auto totalOf = [&](const QString& id, const QStringList& sets) {
        QStringList args{QStringLiteral("report"), QStringLiteral("run"), id, QStringLiteral("--out"),
                         path("t.csv")};
        for (const QString& set : sets)
            args << QStringLiteral("--set") << set;
        const auto r = runCli(withDb(args));
        EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
        QFile file(path("t.csv"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString& line : lines)
            if (line.startsWith(QStringLiteral(";Итого;")))
                return line.mid(7);
        return QString();
    };
    const auto allZero = [](const QString& total) {
        for (const QString& amount : total.trimmed().split(u';'))
            if (!amount.isEmpty() && amount != QStringLiteral("0,00"))
                return false;
        return true;
    };
    for (const QString& id : {balancesId, turnoverId}) {
        const QString byDefault = totalOf(id, {});
        EXPECT_FALSE(byDefault.isEmpty());
        EXPECT_FALSE(allZero(byDefault)) << "defaults: " << byDefault.toStdString();
        EXPECT_EQ(totalOf(id, {QStringLiteral("CheckListBox1=01")}), byDefault) << "the demo's one branch";
        EXPECT_TRUE(allZero(totalOf(id, {QStringLiteral("CheckListBox1=")}))) << "no branch ticked";
    }
    EXPECT_EQ(
        totalOf(turnoverId, {QStringLiteral("DateEdit1=01.01.2005"), QStringLiteral("DateEdit2=31.12.2005")}),
        totalOf(turnoverId, {}));

    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("run"), balancesId, QStringLiteral("--set"),
                         QStringLiteral("DateEdit1=31.02.2006"), QStringLiteral("--out"), path("x.pdf")}));
    EXPECT_EQ(run.exitCode, 64);
    EXPECT_TRUE(run.out.contains(QStringLiteral("31.02.2006"))) << run.out.toStdString();
    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("run"), balancesId, QStringLiteral("--set"),
                         QStringLiteral("NoSuchControl=1"), QStringLiteral("--out"), path("x.pdf")}));
    EXPECT_EQ(run.exitCode, 64);
    EXPECT_TRUE(run.out.contains(QStringLiteral("NoSuchControl"))) << run.out.toStdString();
    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("run"), balancesId, QStringLiteral("--set"),
                         QStringLiteral("CheckListBox1=01,77"), QStringLiteral("--out"), path("x.pdf")}));
    EXPECT_EQ(run.exitCode, 64);
    EXPECT_TRUE(run.out.contains(QStringLiteral("77"))) << run.out.toStdString();

    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("run"), QStringLiteral("1 OR 1=1"),
                         QStringLiteral("--out"), path("x.pdf")}));
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Отчет не найден: 1 OR 1=1"))) << run.out.toStdString();
    EXPECT_EQ(runCli(withDb({QStringLiteral("report"), QStringLiteral("run"), balancesId})).exitCode, 64);
    EXPECT_EQ(runCli(withDb({QStringLiteral("report"), QStringLiteral("run"), balancesId,
                             QStringLiteral("--out"), path("b.docx")}))
                  .exitCode,
              64);

    // Export every template, then import one back: without --yes nothing changes.
    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("export-all"), path("frf")}));
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("All done")));
    ASSERT_TRUE(QFile::copy(path("frf/Остатки по филиалам на дату.frf"), path("Копия.frf")));
    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("import"), path("Копия.frf")}));
    EXPECT_EQ(run.exitCode, 3) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Добавить новый отчет \"Копия\" в базу программы ?")));
    run = runCli(withDb(
        {QStringLiteral("report"), QStringLiteral("import"), path("Копия.frf"), QStringLiteral("--yes")}));
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Отчет \"Копия\" добавлен.")));
    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("list")}));
    EXPECT_TRUE(run.out.contains(QStringLiteral("\n4;Копия"))) << run.out.toStdString();
    run = runCli(withDb(
        {QStringLiteral("report"), QStringLiteral("import"), path("Копия.frf"), QStringLiteral("--yes")}));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Отчет \"Копия\" обновлен."))) << run.out.toStdString();
    EXPECT_EQ(runCli(withDb({QStringLiteral("report"), QStringLiteral("import"), path("none.frf")})).exitCode,
              4);

    // A name that would write outside the folder is refused; the rest are written, exit 4.
    runCli(withDb(
        {QStringLiteral("sql"), QStringLiteral("update REPORT set NAZV = '../вне' where NAZV = 'Копия'")}));
    run = runCli(withDb({QStringLiteral("report"), QStringLiteral("export-all"), path("frf2")}));
    EXPECT_EQ(run.exitCode, 4) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("[warning]\nОтчет 4 \"../вне\" не сохранен в файл")))
        << run.out.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("All done")));
    EXPECT_FALSE(QFile::exists(path("вне.frf")));
    EXPECT_TRUE(QFile::exists(path("frf2/Остатки по филиалам на дату.frf")));
}

INSTANTIATE_TEST_SUITE_P(Backends, CliDatabaseTest, ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });

TEST(Cli, CsvQuotingAndUsageErrors) {
    QTemporaryDir dir;
    const QString db = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("x.db"));
    ASSERT_EQ(runCli({QStringLiteral("--db"), db, QStringLiteral("init-db")}).exitCode, 0);
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
    // A database file that does not exist is not made by any command but init-db.
    run = runCli({QStringLiteral("--ini"), ini, QStringLiteral("sql"), QStringLiteral("select 41+1 as N")});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(
        run.out.contains(QStringLiteral("database file not found: ") + dir.filePath(QStringLiteral("c.db"))))
        << run.out.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("c.db"))));
    EXPECT_EQ(runCli({QStringLiteral("--ini"), ini, QStringLiteral("init-db")}).exitCode, 0);
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

TEST(Cli, StandardErrorStaysEmptyInNormalRuns) {
    QTemporaryDir dir;
    // As on a server or in a cron job: no session runtime folder, no display.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    const QStringList db = {QStringLiteral("--db"),
                            QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("s.db"))};
    const QList<QStringList> runs = {
        {QStringLiteral("--help")},
        db + QStringList{QStringLiteral("init-db"), QStringLiteral("--demo"),
                         dir.filePath(QStringLiteral("p"))},
        db + QStringList{QStringLiteral("receive"), dir.filePath(QStringLiteral("p/A010105.dbf")),
                         QStringLiteral("--yes")},
        db + QStringList{QStringLiteral("report"), QStringLiteral("run"), QStringLiteral("1"),
                         QStringLiteral("--out"), dir.filePath(QStringLiteral("r.pdf"))},
    };
    for (const QStringList& args : runs) {
        const auto run = runCli(args, env);
        EXPECT_EQ(run.exitCode, 0) << args.join(u' ').toStdString() << "\n" << run.out.toStdString();
        EXPECT_EQ(run.err, QString()) << args.join(u' ').toStdString();
    }
}

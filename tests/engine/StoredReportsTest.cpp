#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "db/Error.h"
#include "engine/Chart.h"
#include "engine/DemoReports.h"
#include "engine/Report.h"
#include "engine/StoredReports.h"
#include "engine/TemplateStorage.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::engine;
using namespace svod::engine::test;

namespace {

ReportTemplate titled(const QString& title) {
    ReportTemplate t;
    t.bands << band(BandKind::ReportTitle, 20, {textObject(QRectF(0, 0, 200, 20), title)});
    return t;
}

// Answers every question with `answer` and keeps what was asked and told.
struct ScriptedDialog {
    bool answer = true;
    QStringList asked, told;
    ImportDialog dialog() {
        return {[this](const QString& q) {
                    asked << q;
                    return answer;
                },
                [this](const QString& m) { told << m; }};
    }
};

class StoredReportsTest : public ::testing::TestWithParam<db::Backend> {
protected:
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(GetParam());
        db_ = std::make_unique<svod::test::TestDatabase>(GetParam());
        db_->createSchema();
    }
    db::Connection& c() { return db_->connection(); }
    void addRow(int id, const QString& name, const ReportTemplate& t) {
        QSqlQuery q = c().prepare(QStringLiteral("INSERT INTO REPORT (ID,NAZV,REPORT) VALUES (?,?,?)"));
        c().execPrepared(q, {id, name, templateToBlob(t)});
    }
    QString writeTemplate(const QString& fileName, const QString& title) {
        const QString path = dir_.filePath(fileName);
        Report r;
        r.setTemplate(titled(title));
        r.saveToFile(path);
        return path;
    }
    QString titleOf(const QString& id) {
        Report r;
        EXPECT_TRUE(loadStoredReport(c(), id, r));
        return r.reportTemplate().bands.value(0).objects.value(0).text;
    }
    std::unique_ptr<svod::test::TestDatabase> db_;
    QTemporaryDir dir_;
};

TEST_P(StoredReportsTest, ImportMatchesNamesExactlyAndNumbersNewRows) {
    ScriptedDialog d;
    Report report;
    // An empty table gives the first report ID 0.
    ImportResult r = importTemplateFile(
        c(), writeTemplate(QStringLiteral("Баланс.FRF"), QStringLiteral("v1")), report, d.dialog());
    EXPECT_EQ(r.outcome, ImportOutcome::Added);
    EXPECT_EQ(r.id, QStringLiteral("0"));
    EXPECT_EQ(d.asked, QStringList{QStringLiteral("Добавить новый отчет \"Баланс\" в базу программы ?")});
    EXPECT_EQ(d.told, QStringList{QStringLiteral("Отчет \"Баланс\" добавлен.")});

    // Rows whose names differ in case or by a trailing space are no match.
    addRow(7, QStringLiteral("баланс2"), titled(QStringLiteral("other")));
    addRow(5, QStringLiteral("Баланс2 "), titled(QStringLiteral("other")));
    r = importTemplateFile(c(), writeTemplate(QStringLiteral("Баланс2.frf"), QStringLiteral("v2")), report,
                           d.dialog());
    EXPECT_EQ(r.outcome, ImportOutcome::Added);
    EXPECT_EQ(r.id, QStringLiteral("8")) << "one more than the largest ID";

    // The same name again replaces that row's template only.
    d.asked.clear();
    r = importTemplateFile(c(), writeTemplate(QStringLiteral("Баланс.frf"), QStringLiteral("v3")), report,
                           d.dialog());
    EXPECT_EQ(r.outcome, ImportOutcome::Updated);
    EXPECT_EQ(d.asked, QStringList{QStringLiteral("Обновить отчет \"Баланс\" из файла ?")});
    EXPECT_EQ(titleOf(QStringLiteral("0")), QStringLiteral("v3"));
    EXPECT_EQ(titleOf(QStringLiteral("7")), QStringLiteral("other"));
    EXPECT_EQ(listStoredReports(c()).size(), 4);
}

TEST_P(StoredReportsTest, DeclinedImportAndMissingFileChangeNothing) {
    ScriptedDialog d;
    d.answer = false;
    Report report;
    EXPECT_EQ(importTemplateFile(c(), writeTemplate(QStringLiteral("x.frf.frf"), QStringLiteral("t")), report,
                                 d.dialog())
                  .outcome,
              ImportOutcome::Declined);
    EXPECT_EQ(d.asked, QStringList{QStringLiteral("Добавить новый отчет \"x.frf\" в базу программы ?")});
    EXPECT_TRUE(d.told.isEmpty());
    EXPECT_EQ(importTemplateFile(c(), dir_.filePath(QStringLiteral("none.frf")), report, d.dialog()).outcome,
              ImportOutcome::NoFile);
    EXPECT_TRUE(listStoredReports(c()).isEmpty());
}

TEST_P(StoredReportsTest, LookupByIdNeverRunsTheTextAsSql) {
    addRow(3, QStringLiteral("Отчет"), titled(QStringLiteral("три")));
    Report report;
    report.noteStrings() << QStringLiteral("old");
    Report::engineVariables().insert(QStringLiteral("LEFTOVER"), 1);
    EXPECT_TRUE(loadStoredReport(c(), QStringLiteral("3"), report));
    EXPECT_TRUE(report.noteStrings().isEmpty());
    EXPECT_TRUE(Report::engineVariables().isEmpty());
    EXPECT_FALSE(loadStoredReport(c(), QStringLiteral("4"), report));
    EXPECT_TRUE(report.reportTemplate().isEmpty()) << "a failed lookup leaves the object cleared";
    EXPECT_FALSE(loadStoredReport(c(), QStringLiteral("3; DELETE FROM REPORT"), report));
    EXPECT_FALSE(loadStoredReport(c(), QStringLiteral("0 OR 1=1"), report));
    EXPECT_EQ(listStoredReports(c()).size(), 1);
    EXPECT_EQ(reportNotFoundMessage(QStringLiteral("4")), QStringLiteral("Отчет не найден: 4"));
}

TEST_P(StoredReportsTest, ExportAllWritesEveryTemplateLaterRowsWinning) {
    addRow(0, QStringLiteral("Один"), titled(QStringLiteral("first")));
    addRow(1, QStringLiteral("Один"), titled(QStringLiteral("second")));
    addRow(2, QStringLiteral("Два"), titled(QStringLiteral("two")));
    const QStringList files = exportAllTemplates(c(), dir_.path()).written;
    EXPECT_EQ(files.size(), 3);
    EXPECT_EQ(QDir(dir_.path()).entryList({QStringLiteral("*.frf")}).size(), 2);
    Report r;
    ASSERT_TRUE(r.loadFromFile(dir_.filePath(QStringLiteral("Один.frf"))));
    EXPECT_EQ(r.reportTemplate(), titled(QStringLiteral("second")));
}

// A name that would write outside the chosen folder is refused; the other reports are still written.
TEST_P(StoredReportsTest, ExportAllRefusesNamesThatLeaveTheFolder) {
    QDir(dir_.path()).mkpath(QStringLiteral("out"));
    const QString out = dir_.filePath(QStringLiteral("out"));
    addRow(0, QStringLiteral("../escaped"), titled(QStringLiteral("x")));
    addRow(1, QStringLiteral("Хороший"), titled(QStringLiteral("good")));
    addRow(2, QStringLiteral(".."), titled(QStringLiteral("x")));
    addRow(3, QStringLiteral("a:b"), titled(QStringLiteral("x")));
    addRow(4, QStringLiteral(""), titled(QStringLiteral("x")));
    const ExportAllResult result = exportAllTemplates(c(), out);
    EXPECT_EQ(result.written, QStringList{QDir::fromNativeSeparators(out) + QStringLiteral("/Хороший.frf")});
    ASSERT_EQ(result.skipped.size(), 4);
    EXPECT_TRUE(result.skipped[0].startsWith(QStringLiteral("Отчет 0 \"../escaped\" не сохранен в файл")))
        << result.skipped[0].toStdString();
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("escaped.frf"))));
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("...frf"))));
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 1);
}

TEST(ReportFileNames, SafeAndUnsafe) {
    EXPECT_TRUE(unsafeFileNameReason(QStringLiteral("Остатки по филиалам на дату")).isEmpty());
    EXPECT_TRUE(unsafeFileNameReason(QStringLiteral("x.frf")).isEmpty());
    EXPECT_TRUE(unsafeFileNameReason(QStringLiteral("...")).isEmpty()) << "three dots is an ordinary name";
    for (const char* bad : {"a/b", "a\\b", ".", "..", "", "  ", "a?b", "tab\tname"})
        EXPECT_FALSE(unsafeFileNameReason(QString::fromUtf8(bad)).isEmpty()) << bad;
    EXPECT_FALSE(unsafeFileNameReason(QString(300, u'я')).isEmpty());
}

// LoadFromBlobField of a damaged blob names the report and leaves the object cleared; the template
// saved into a row is the one read back.
TEST_P(StoredReportsTest, RowTemplatesLoadAndSave) {
    addRow(5, QStringLiteral("Пятый"), titled(QStringLiteral("five")));
    QSqlQuery q = c().prepare(QStringLiteral("INSERT INTO REPORT (ID,NAZV,REPORT) VALUES (?,?,?)"));
    c().execPrepared(q, {6, QStringLiteral("Сломанный"), QByteArray("not a template")});
    Report report;
    loadTemplateFromRow(c(), {5, QStringLiteral("Пятый")}, report);
    EXPECT_EQ(report.reportTemplate(), titled(QStringLiteral("five")));
    try {
        loadTemplateFromRow(c(), {6, QStringLiteral("Сломанный")}, report);
        FAIL() << "a damaged blob must not load";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Шаблон отчета 6 \"Сломанный\" не читается")))
            << e.message().toStdString();
    }
    EXPECT_TRUE(report.reportTemplate().isEmpty());

    report.setTemplate(titled(QStringLiteral("new five")));
    saveTemplateToRow(c(), {5, QStringLiteral("Пятый")}, report);
    EXPECT_EQ(titleOf(QStringLiteral("5")), QStringLiteral("new five"));
    EXPECT_EQ(c().scalar(QStringLiteral("SELECT REPORT FROM REPORT WHERE ID = 6")).toByteArray(),
              QByteArray("not a template"))
        << "only the named row changes";
}

// The bundled reports load, run on the backend's SQL and total what they list.
TEST_P(StoredReportsTest, DemoReportsRunOnThisBackend) {
    const QStringList names = insertDemoReports(c());
    ASSERT_EQ(names.size(), 4);
    EXPECT_EQ(insertDemoReports(c()), names) << "a second run replaces, it does not add";
    ASSERT_EQ(listStoredReports(c()).size(), 4);

    c().execute(QStringLiteral("insert into FILIALS (KOD, NAZVANIE) values ('01', 'Север'), ('02', 'Юг')"));
    c().execute(
        QStringLiteral("insert into INV (ID, KOD_F, TYPEM, KARD_NUM, INV_NUM, BEG_DATE, NAME, GROUP1) "
                       "values ('A1', '01', 'ОС', '1', 'И-1', '2001-01-01 00:00:00', 'Станок', '1')"));
    const QString ost = QStringLiteral("insert into INV_OST (ID, KOD_F, DD, TYP, SALDO, DELTA) values ");
    // Item A1: 100 then 150 in dollars, depreciation 30; another branch's item 40.
    c().execute(ost + QStringLiteral("('A1', '01', '2005-01-31 00:00:00', '1', 100, 100)"));
    c().execute(ost + QStringLiteral("('A1', '01', '2005-03-31 00:00:00', '1', 150, 50)"));
    c().execute(ost + QStringLiteral("('A1', '01', '2005-03-31 00:00:00', '2', 30, 30)"));
    c().execute(ost + QStringLiteral("('B1', '02', '2005-02-28 00:00:00', '1', 40, 40)"));
    // Roubles by month: A1 3000 in January, 3200 less 200 of depreciation in February; B1 1000.
    const QString ost3 = QStringLiteral("insert into INV_OST3 (ID, KOD_F, DD, TYP, SALDO, DELTA) values ");
    c().execute(ost3 + QStringLiteral("('A1', '01', '2005-01-31 00:00:00', '3', 3000, 3000)"));
    c().execute(ost3 + QStringLiteral("('A1', '01', '2005-02-28 00:00:00', '3', 3200, 200)"));
    c().execute(ost3 + QStringLiteral("('A1', '01', '2005-02-28 00:00:00', '4', 200, 200)"));
    c().execute(ost3 + QStringLiteral("('B1', '02', '2005-02-28 00:00:00', '3', 1000, 1000)"));

    for (const auto& entry : listStoredReports(c())) {
        Report report;
        report.setConnection(&c());
        ASSERT_TRUE(loadStoredReport(c(), entry.id, report));
        Report::engineVariables().insert(QStringLiteral("NA_DATU"), QDate(2005, 2, 28));
        Report::engineVariables().insert(QStringLiteral("S_DATY"), QDate(2005, 2, 1));
        Report::engineVariables().insert(QStringLiteral("PO_DATU"), QDate(2005, 3, 31));
        ASSERT_TRUE(report.prepareReport()) << entry.name.toStdString();
        const QStringList texts = pageTexts(report.preparedPages().page(0));
        if (entry.name == QStringLiteral("Остатки по филиалам на дату")) {
            // On 28.02 item A1 still stands at 100 (the row of the 31st is later); B1 counts from its day.
            EXPECT_TRUE(texts.contains(QStringLiteral("на 28 февраля 2005")));
            EXPECT_EQ(
                texts.mid(texts.indexOf(QStringLiteral("Север")) + 1, 3),
                (QStringList{QStringLiteral("100,00"), QStringLiteral("0,00"), QStringLiteral("100,00")}));
            EXPECT_EQ(texts.mid(texts.indexOf(QStringLiteral("Итого")) + 1, 1),
                      QStringList{QStringLiteral("140,00")});
        } else if (entry.name == QStringLiteral("Оборотная ведомость за период")) {
            // Branch 01 from 01.02 to 31.03: opening 100, in 50, out 0, closing 150.
            EXPECT_EQ(texts.mid(texts.indexOf(QStringLiteral("Север")) + 1, 4),
                      (QStringList{QStringLiteral("100,00"), QStringLiteral("50,00"), QStringLiteral("0,00"),
                                   QStringLiteral("150,00")}));
        } else if (entry.name.contains(QStringLiteral("диаграмма"))) {
            // At the date by branch and by group; then by month of the year up to the date.
            const auto charts = [&](int page) {
                QList<ChartData> list;
                for (const auto& o : report.preparedPages().page(page).objects)
                    if (o.kind == ObjectKind::Chart)
                        list << decodeChart(o.picture);
                return list;
            };
            ASSERT_EQ(report.preparedPages().count(), 2);
            const QList<ChartData> atDate = charts(0), byMonth = charts(1);
            ASSERT_EQ(atDate.size(), 2);
            EXPECT_EQ(atDate[0].values, (QList<QList<double>>{{3000, 1000}}));
            ASSERT_EQ(byMonth.size(), 2);
            EXPECT_EQ(byMonth[0].categories,
                      (QStringList{QStringLiteral("31.01.2005"), QStringLiteral("28.02.2005")}));
            EXPECT_EQ(byMonth[0].seriesTitles, (QStringList{QStringLiteral("01"), QStringLiteral("02")}));
            EXPECT_EQ(byMonth[0].values, (QList<QList<double>>{{3000, 3000}, {0, 1000}}));
            EXPECT_EQ(byMonth[1].seriesTitles, QStringList{QStringLiteral("1")}) << "A1's group";
            EXPECT_EQ(byMonth[1].values, (QList<QList<double>>{{3000, 3000}}));
        } else {
            EXPECT_TRUE(texts.contains(QStringLiteral("Филиал 01 Север")));
            EXPECT_TRUE(texts.contains(QStringLiteral("01.01.2001"))) << "dates shown as dates";
            EXPECT_TRUE(texts.contains(QStringLiteral("Всего объектов: 1")));
        }
    }
    Report::engineVariables().clear();
}

INSTANTIATE_TEST_SUITE_P(Backends, StoredReportsTest, ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });

} // namespace

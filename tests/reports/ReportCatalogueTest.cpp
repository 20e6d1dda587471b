#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "db/Connection.h"
#include "engine/Report.h"
#include "engine/StoredReports.h"
#include "engine/TemplateStorage.h"
#include "reports/RecordNavigator.h"
#include "reports/ReportCatalogueWindow.h"
#include "reports/ReportTableModel.h"
#include "support/ReportTemplates.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::reports;

namespace {

engine::ReportTemplate titled(const QString& title) {
    return test::titledTemplate(title, 200);
}

QString titleOf(const engine::Report& report) {
    return report.reportTemplate().bands.value(0).objects.value(0).text;
}

// Answers from queues; records every question and message.
class ScriptedDialogs final : public CatalogueDialogs {
public:
    QStringList files;   // answers of the open and save dialogs, in order ("" = cancel)
    QString folder;      // the folder chooser's answer
    QList<bool> answers; // confirmations, in order (OK when the queue is empty)
    QStringList log;
    QStringList openFolders;

    QString openTemplateFile(const QString& start) override {
        openFolders << start;
        log << QStringLiteral("open");
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString saveTemplateFile(const QString&, const QString& proposed) override {
        log << QStringLiteral("save: ") + proposed;
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString chooseFolder(const QString& text) override {
        log << QStringLiteral("folder: ") + text;
        return folder;
    }
    bool confirm(const QString& text) override {
        log << QStringLiteral("confirm: ") + text;
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    bool askYesNo(const QString& text) override {
        log << QStringLiteral("yesno: ") + text;
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    void inform(const QString& text) override { log << QStringLiteral("info: ") + text; }
    void showError(const QString& text) override { log << QStringLiteral("error: ") + text; }
};

class ReportCatalogueTest : public ::testing::TestWithParam<db::Backend> {
protected:
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(GetParam());
        db_ = std::make_unique<svod::test::TestDatabase>(GetParam());
        db_->createSchema();
        folder_ = dir_.filePath(QStringLiteral("REPORTS"));
        QDir().mkpath(folder_);
    }
    db::Connection& c() { return db_->connection(); }
    void addRow(int id, const QString& name, const QString& title) {
        QSqlQuery q = c().prepare(QStringLiteral("INSERT INTO REPORT (ID,NAZV,REPORT) VALUES (?,?,?)"));
        c().execPrepared(q, {id, name, engine::templateToBlob(titled(title))});
    }
    QString writeTemplateFile(const QString& name, const QString& title) {
        engine::Report r;
        r.setTemplate(titled(title));
        const QString path = dir_.filePath(name);
        r.saveToFile(path);
        return path;
    }
    std::unique_ptr<ReportCatalogueWindow> open() {
        ReportCatalogueWindow::Services s;
        s.connection = &c();
        s.report = &report_;
        s.dialogs = &dialogs_;
        s.reportsFolder = QDir::toNativeSeparators(folder_);
        s.designReport = [this] { designed_ << report_.fileName(); };
        s.reportAdded = [this](const QString& id, const QString& name) { added_ << id + u'=' + name; };
        auto w = std::make_unique<ReportCatalogueWindow>(std::move(s));
        w->show();
        return w;
    }
    static void click(ReportCatalogueWindow& w, const char* name) {
        auto* b = w.findChild<QAbstractButton*>(QLatin1String(name));
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
    }
    QStringList names() {
        QStringList result;
        QSqlQuery q = c().query(QStringLiteral("SELECT ID,NAZV FROM REPORT ORDER BY ID"));
        while (q.next())
            result << q.value(0).toString() + u'=' + q.value(1).toString();
        return result;
    }

    std::unique_ptr<svod::test::TestDatabase> db_;
    QTemporaryDir dir_;
    QString folder_;
    engine::Report report_;
    ScriptedDialogs dialogs_;
    QStringList designed_;
    QStringList added_;
};

TEST_P(ReportCatalogueTest, LayoutCaptionsAndColumns) {
    addRow(3, QStringLiteral("Баланс"), QStringLiteral("b"));
    auto w = open();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Отчеты"));
    EXPECT_EQ(w->templateLabelText(), QStringLiteral("<отчет не загружен>"));
    const QStringList captions{QStringLiteral("Новый"),
                               QStringLiteral("Открыть из файла"),
                               QStringLiteral("Сохранить в файл"),
                               QStringLiteral("Сохранить все в файлы"),
                               QStringLiteral("Загрузить с сервера"),
                               QStringLiteral("Сохранить на сервере"),
                               QStringLiteral("Редактировать текущий"),
                               QStringLiteral("Автоматическая \n\rзагрузка/обновление \n\rотчета")};
    for (int i = 0; i < captions.size(); ++i) {
        auto* b = w->findChild<QPushButton*>(QStringLiteral("Button%1").arg(i + 1));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text(), captions[i]);
        EXPECT_EQ(b->width(), 137);
        EXPECT_FALSE(b->accessibleName().contains(u'\r'));
    }
    auto* grid = w->findChild<QTableView*>(QStringLiteral("DBGrid1"));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Номер"));
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Наименование"));
    EXPECT_EQ(grid->model()->columnCount(), 2) << "the template column is not shown";
    EXPECT_GT(grid->columnWidth(1), 5 * grid->columnWidth(0));
    for (auto* b :
         w->findChild<RecordNavigator*>(QStringLiteral("DBNavigator1"))->findChildren<QToolButton*>())
        EXPECT_FALSE(b->accessibleName().isEmpty()) << b->objectName().toStdString();
    EXPECT_EQ(grid->model()->data(grid->model()->index(0, 1)).toString(), QStringLiteral("Баланс"));
}

// The automatic import: exact-case match, ID 0 in an empty table, the menu item added at once,
// declining changes nothing.
TEST_P(ReportCatalogueTest, AutomaticImportAddsUpdatesAndDeclines) {
    auto w = open();
    dialogs_.files << writeTemplateFile(QStringLiteral("Баланс.frf"), QStringLiteral("v1"));
    click(*w, "Button8");
    EXPECT_EQ(names(), QStringList{QStringLiteral("0=Баланс")});
    EXPECT_EQ(added_, QStringList{QStringLiteral("0=Баланс")});
    EXPECT_TRUE(dialogs_.log.contains(QStringLiteral("info: Отчет \"Баланс\" добавлен.")));
    EXPECT_EQ(w->model().rowCount(), 1);
    EXPECT_EQ(w->currentRow(), 0) << "the grid stands on the appended row";
    EXPECT_TRUE(dialogs_.openFolders.value(0).isEmpty()) << "the import sets no starting folder";

    // "баланс" differs in case: a new row, ID one more than the largest.
    dialogs_.files << writeTemplateFile(QStringLiteral("баланс.frf"), QStringLiteral("lower"));
    click(*w, "Button8");
    EXPECT_EQ(names(), (QStringList{QStringLiteral("0=Баланс"), QStringLiteral("1=баланс")}));

    // Declining the addition leaves the table and the menu unchanged.
    dialogs_.files << writeTemplateFile(QStringLiteral("x.frf.frf"), QStringLiteral("x"));
    dialogs_.answers << false;
    click(*w, "Button8");
    EXPECT_TRUE(
        dialogs_.log.contains(QStringLiteral("confirm: Добавить новый отчет \"x.frf\" в базу программы ?")));
    EXPECT_EQ(names().size(), 2);
    EXPECT_EQ(added_.size(), 2);

    // A match replaces the template and returns to the remembered row.
    w->setCurrentRow(1);
    dialogs_.files << writeTemplateFile(QStringLiteral("Баланс.FRF"), QStringLiteral("v2"));
    click(*w, "Button8");
    EXPECT_TRUE(dialogs_.log.contains(QStringLiteral("info: Отчет \"Баланс\" обновлен.")));
    EXPECT_EQ(w->currentRow(), 1);
    engine::Report check;
    ASSERT_TRUE(engine::loadStoredReport(c(), QStringLiteral("0"), check));
    EXPECT_EQ(titleOf(check), QStringLiteral("v2"));
    EXPECT_EQ(added_.size(), 2) << "an update adds no menu item";
}

TEST_P(ReportCatalogueTest, OpenFromFileCancelLeavesTheObjectClearedAndTheLabel) {
    auto w = open();
    report_.setTemplate(titled(QStringLiteral("before")));
    dialogs_.files << writeTemplateFile(QStringLiteral("Первый.frf"), QStringLiteral("first"));
    click(*w, "Button2");
    EXPECT_EQ(titleOf(report_), QStringLiteral("first"));
    const QString label = w->templateLabelText();
    EXPECT_TRUE(label.endsWith(QStringLiteral("Первый.frf")));
    EXPECT_EQ(designed_.size(), 1) << "the designer opens on the loaded file";
    EXPECT_EQ(dialogs_.openFolders.value(0), QDir::toNativeSeparators(folder_) + QDir::separator());

    click(*w, "Button2"); // cancelled
    EXPECT_TRUE(report_.reportTemplate().isEmpty());
    EXPECT_EQ(w->templateLabelText(), label);
    EXPECT_EQ(designed_.size(), 1);

    // After "Открыть из файла" the import's dialog starts in the reports folder as well.
    click(*w, "Button8");
    EXPECT_EQ(dialogs_.openFolders.value(2), dialogs_.openFolders.value(0));
}

TEST_P(ReportCatalogueTest, NewLoadSaveOnServerAndSaveToFile) {
    addRow(0, QStringLiteral("Один"), QStringLiteral("one"));
    addRow(1, QStringLiteral("Два"), QStringLiteral("two"));
    auto w = open();
    click(*w, "Button1");
    EXPECT_EQ(designed_.value(0),
              QDir::toNativeSeparators(folder_) + QDir::separator() + QStringLiteral("Untitled"));
    EXPECT_EQ(w->templateLabelText(), designed_.value(0));

    w->setCurrentRow(1);
    click(*w, "Button5");
    EXPECT_EQ(titleOf(report_), QStringLiteral("two"));
    EXPECT_EQ(w->templateLabelText(), QStringLiteral("Два"));

    // The grid's current row receives the template, whatever the object holds.
    w->setCurrentRow(0);
    dialogs_.answers << false;
    click(*w, "Button6");
    EXPECT_TRUE(dialogs_.log.contains(
        QStringLiteral("yesno: Вы уверены, что хотите сохранить текущий отчет\r\nкак Один на сервере ?")));
    engine::Report check;
    ASSERT_TRUE(engine::loadStoredReport(c(), QStringLiteral("0"), check));
    EXPECT_EQ(titleOf(check), QStringLiteral("one")) << "No leaves the row as it was";
    click(*w, "Button6");
    ASSERT_TRUE(engine::loadStoredReport(c(), QStringLiteral("0"), check));
    EXPECT_EQ(titleOf(check), QStringLiteral("two"));

    const QString path = dir_.filePath(QStringLiteral("копия.frf"));
    dialogs_.files << path;
    click(*w, "Button3");
    EXPECT_TRUE(dialogs_.log.contains(QStringLiteral("save: Два"))) << "the label's text is proposed";
    engine::Report fromFile;
    ASSERT_TRUE(fromFile.loadFromFile(path));
    EXPECT_EQ(titleOf(fromFile), QStringLiteral("two"));

    click(*w, "Button7");
    EXPECT_EQ(designed_.size(), 3) << "new, load from server and edit current each design";
}

// Two rows of one name give one file with the later template; a name leaving the folder is
// refused and "All done" is not shown.
TEST_P(ReportCatalogueTest, SaveAllToFiles) {
    addRow(0, QStringLiteral("Один"), QStringLiteral("first"));
    addRow(1, QStringLiteral("Один"), QStringLiteral("second"));
    auto w = open();
    const QString out = dir_.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    dialogs_.folder = out;
    click(*w, "Button4");
    EXPECT_TRUE(dialogs_.log.contains(QStringLiteral("folder: Choose path to save")));
    EXPECT_EQ(dialogs_.log.last(), QStringLiteral("info: All done"));
    engine::Report fromFile;
    ASSERT_TRUE(fromFile.loadFromFile(QDir(out).filePath(QStringLiteral("Один.frf"))));
    EXPECT_EQ(titleOf(fromFile), QStringLiteral("second"));
    EXPECT_EQ(w->currentRow(), 0);

    addRow(2, QStringLiteral("../вне"), QStringLiteral("x"));
    dialogs_.log.clear();
    click(*w, "Button4");
    ASSERT_FALSE(dialogs_.log.isEmpty());
    EXPECT_TRUE(
        dialogs_.log.last().startsWith(QStringLiteral("error: Отчет 2 \"../вне\" не сохранен в файл")))
        << dialogs_.log.last().toStdString();
    EXPECT_FALSE(dialogs_.log.contains(QStringLiteral("info: All done")));
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("вне.frf"))));

    dialogs_.folder.clear(); // cancelled
    dialogs_.log.clear();
    click(*w, "Button4");
    EXPECT_EQ(dialogs_.log, QStringList{QStringLiteral("folder: Choose path to save")});
}

// Navigator: insert and post a row; a refused post keeps the row in insert state with its values;
// cancel drops it; delete asks first.
TEST_P(ReportCatalogueTest, NavigatorPostsAndKeepsWhatWasTypedOnError) {
    addRow(0, QStringLiteral("Один"), QStringLiteral("one"));
    auto w = open();
    ReportTableModel& m = w->model();
    click(*w, "nbInsert");
    ASSERT_EQ(m.state(), ReportTableModel::State::Insert);
    const int row = m.activeRow();
    m.setData(m.index(row, ReportTableModel::IdColumn), 0); // the primary key is taken
    m.setData(m.index(row, ReportTableModel::NameColumn), QStringLiteral("Новый отчет"));
    click(*w, "nbPost");
    ASSERT_FALSE(dialogs_.log.isEmpty());
    EXPECT_TRUE(dialogs_.log.last().startsWith(QStringLiteral("error: ")))
        << dialogs_.log.last().toStdString();
    EXPECT_EQ(m.state(), ReportTableModel::State::Insert);
    EXPECT_EQ(m.data(m.index(row, ReportTableModel::NameColumn)).toString(), QStringLiteral("Новый отчет"));

    m.setData(m.index(row, ReportTableModel::IdColumn), QStringLiteral("7"));
    click(*w, "nbPost");
    EXPECT_EQ(m.state(), ReportTableModel::State::Browse);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("0=Один"), QStringLiteral("7=Новый отчет")}));

    // Editing a name and leaving the row posts it.
    w->setCurrentRow(row);
    m.setData(m.index(row, ReportTableModel::NameColumn), QStringLiteral("Переименован"));
    w->setCurrentRow(row == 0 ? 1 : 0);
    EXPECT_EQ(m.state(), ReportTableModel::State::Browse);
    EXPECT_TRUE(names().contains(QStringLiteral("7=Переименован")));

    click(*w, "nbInsert");
    click(*w, "nbCancel");
    EXPECT_EQ(m.rowCount(), 2);

    w->setCurrentRow(m.findRow(7, QStringLiteral("Переименован")));
    dialogs_.answers << false;
    click(*w, "nbDelete");
    EXPECT_EQ(names().size(), 2);
    click(*w, "nbDelete");
    EXPECT_EQ(names(), QStringList{QStringLiteral("0=Один")});
    EXPECT_EQ(m.rowCount(), 1);
}

TEST_P(ReportCatalogueTest, DamagedBlobNamesTheReportAndLeavesTheObjectCleared) {
    QSqlQuery q = c().prepare(QStringLiteral("INSERT INTO REPORT (ID,NAZV,REPORT) VALUES (?,?,?)"));
    c().execPrepared(q, {4, QStringLiteral("Сломанный"), QByteArray("\x78\x9c garbage")});
    auto w = open();
    report_.setTemplate(titled(QStringLiteral("before")));
    w->setCurrentRow(0);
    click(*w, "Button5");
    ASSERT_FALSE(dialogs_.log.isEmpty());
    EXPECT_TRUE(
        dialogs_.log.last().startsWith(QStringLiteral("error: Шаблон отчета 4 \"Сломанный\" не читается")))
        << dialogs_.log.last().toStdString();
    EXPECT_TRUE(report_.reportTemplate().isEmpty());
    EXPECT_TRUE(designed_.isEmpty());
}

TEST_P(ReportCatalogueTest, MissingTableOpensTheWindowWithTheTableClosed) {
    c().execute(QStringLiteral("DROP TABLE REPORT"));
    auto w = open();
    ASSERT_FALSE(dialogs_.log.isEmpty());
    EXPECT_TRUE(dialogs_.log.first().startsWith(QStringLiteral("error: ")));
    EXPECT_FALSE(w->model().isOpen());
    dialogs_.log.clear();
    click(*w, "Button5");
    click(*w, "Button6");
    EXPECT_TRUE(dialogs_.log.isEmpty()) << "load and save on the server do nothing";
}

INSTANTIATE_TEST_SUITE_P(Backends, ReportCatalogueTest, ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });

TEST(ReportsFolder, BesideTheProgramOrInTheUserDataFolder) {
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("bin"));
    QDir().mkpath(program);
    EXPECT_EQ(reportsFolder(program, dir.filePath(QStringLiteral("data"))),
              QDir::toNativeSeparators(program + QStringLiteral("/REPORTS")));
    EXPECT_TRUE(QDir(program + QStringLiteral("/REPORTS")).exists());

    // A program folder that cannot be written: a file stands where the folder would be.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    QDir().mkpath(blocked);
    QFile file(blocked + QStringLiteral("/REPORTS"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(reportsFolder(blocked, dir.filePath(QStringLiteral("data"))),
              QDir::toNativeSeparators(dir.filePath(QStringLiteral("data/REPORTS"))));
}

} // namespace

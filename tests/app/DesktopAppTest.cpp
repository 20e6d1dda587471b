// The desktop program as a whole: start-up from pr_vt.ini, the first start, stored reports run
// into previews, the report catalogue, and help at the page of the active window.
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "DialogPageDriver.h"
#include "app/DesktopApp.h"
#include "app/FirstStart.h"
#include "app/MainWindow.h"
#include "app/MessageConventions.h"
#include "db/Connection.h"
#include "db/IniFile.h"
#include "db/Schema.h"
#include "engine/DemoReports.h"
#include "engine/Report.h"
#include "engine/TemplateStorage.h"
#include "help/HelpPages.h"
#include "help/HelpWindow.h"
#include "reports/PreparedDocument.h"
#include "reports/PreviewWindow.h"
#include "reports/ReportCatalogueWindow.h"
#include "support/FileDialogInput.h"
#include "support/RecordingMessages.h"
#include "support/ReportTemplates.h"

using namespace svod;
using namespace svod::app;
using RecordingMessages = svod::test::LabelledMessages;

namespace {
void writeIni(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// pr_vt.ini in the folder, connecting to the SQLite file c.db beside it; `more` follows.
QString sqliteIni(const QTemporaryDir& dir, const char* more = "") {
    const QString ini = dir.filePath(QStringLiteral("pr_vt.ini"));
    writeIni(ini, QStringLiteral("[connect]\r\nstring=sqlite:%1\r\n")
                          .arg(dir.filePath(QStringLiteral("c.db")))
                          .toUtf8() +
                      more);
    return ini;
}
} // namespace

TEST(StartUp, EmptyConnectionStringGivesBothMessagesAndEnds) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("pr_vt.ini"));
    writeIni(ini, "[connect]\r\nstring=\r\n");
    RecordingMessages messages;
    DesktopApp app(ini, messages, {});
    EXPECT_FALSE(app.start());
    ASSERT_EQ(messages.log.size(), 2);
    EXPECT_TRUE(messages.log[0].startsWith(QStringLiteral("plain: ")));
    EXPECT_EQ(
        messages.log[1],
        QStringLiteral(
            "plain: Не удалось установить соединение с сервером.\r\nОбратитесь к системному администратору"));
    // The reports menu was not filled nor reduced.
    EXPECT_TRUE(app.mainWindow().action(QStringLiteral("N6"))->isVisible());
    EXPECT_TRUE(app.mainWindow().reportsMenu()->actions().isEmpty());
}

TEST(StartUp, LoginPromptUnlessSwitchedOff) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("pr_vt.ini"));
    // A server that is not there: the login is asked first, then the connection fails.
    const QByteArray server = "[connect]\r\nstring=Driver={FreeTDS};Server=127.0.0.1;Port=1;Database=x\r\n";
    for (const char* value : {"0", "", "yes"}) {
        writeIni(ini, server + "[setup]\r\ndontlogindialog=" + value + "\r\n");
        RecordingMessages messages;
        QStringList asked;
        DesktopApp app(ini, messages, [&](const QString&, const QString& user) {
            asked << user;
            return std::optional<Credentials>(Credentials{QStringLiteral("u"), QStringLiteral("p")});
        });
        EXPECT_FALSE(app.start());
        EXPECT_EQ(asked.size(), 1) << value;
        EXPECT_EQ(messages.log.size(), 2);
    }
    writeIni(ini, server + "[setup]\r\ndontlogindialog=1\r\n");
    RecordingMessages messages;
    bool asked = false;
    DesktopApp app(ini, messages, [&](const QString&, const QString&) {
        asked = true;
        return std::optional<Credentials>();
    });
    EXPECT_FALSE(app.start());
    EXPECT_FALSE(asked);
}

TEST(StartUp, ProviderShownAndInDirWrittenAtClose) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("pr_vt.ini"));
    writeIni(ini,
             QStringLiteral("; central office\r\n[connect]\r\nstring=sqlite:%1\r\n[PATH]\r\nin_dir=/old\r\n"
                            "[DIRECTLOAD]\r\nTablesOwner=dbo\r\n")
                 .arg(dir.filePath(QStringLiteral("c.db")))
                 .toUtf8());
    RecordingMessages messages;
    {
        DesktopApp app(ini, messages, {});
        ASSERT_TRUE(app.start()) << messages.log.join(u'\n').toStdString();
        EXPECT_TRUE(app.mainWindow().providerText().startsWith(QStringLiteral("QSQLITE  SQLite 3")))
            << app.mainWindow().providerText().toStdString();
        EXPECT_EQ(app.inDir(), QStringLiteral("/old"));
        EXPECT_EQ(app.tablesOwnerPrefix(), QStringLiteral("dbo."));
        EXPECT_EQ(app.connection().commandTimeout(), 3600);
        // No REPORT table in a fresh file: the menu is reduced, reception stays possible.
        EXPECT_FALSE(app.mainWindow().action(QStringLiteral("N6"))->isVisible());
        EXPECT_TRUE(app.mainWindow().action(QStringLiteral("N4"))->isVisible());
        app.inDir() = QStringLiteral("/home/бух/пакеты");
        app.close();
        EXPECT_FALSE(app.connection().isOpen());
    }
    IniFile file(ini);
    EXPECT_EQ(file.value(QStringLiteral("PATH"), QStringLiteral("in_dir")),
              QStringLiteral("/home/бух/пакеты"));
    EXPECT_EQ(file.value(QStringLiteral("DIRECTLOAD"), QStringLiteral("TablesOwner")), QStringLiteral("dbo"));
    EXPECT_TRUE(messages.log.isEmpty());
}

TEST(StartUp, CaptionExactlyAndQtTextsInRussian) {
    QTemporaryDir dir;
    const QString ini = sqliteIni(dir);
    RecordingMessages messages;
    DesktopApp app(ini, messages, {});
    ASSERT_TRUE(app.start());
    app.mainWindow().show();
    EXPECT_EQ(app.mainWindow().windowTitle(),
              QStringLiteral("Сводная отчетность по МСФО (\"Тальвер\") версия 1.29"));
    // A display name would be appended to every window's caption by the window system.
    EXPECT_NE(QGuiApplication::applicationDisplayName(), ApplicationTitle);
    // Qt's own buttons and file dialog texts.
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
    EXPECT_EQ(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), QStringLiteral("Папка"));
    EXPECT_EQ(QCoreApplication::translate("QTabBar", "Scroll Left"), QStringLiteral("Прокрутить влево"));
    // The window tab bar's scroll buttons, as a screen reader names them.
    auto* tabs = app.mainWindow().findChild<QTabBar*>(QStringLiteral("WindowTabBar1"));
    ASSERT_NE(tabs, nullptr);
    for (const auto& [name, text] : {std::pair{"ScrollLeftButton", "Прокрутить влево"},
                                     std::pair{"ScrollRightButton", "Прокрутить вправо"}}) {
        auto* button = tabs->findChild<QToolButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->accessibleName(), QString::fromUtf8(text)) << name;
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(text)) << name;
    }
    app.close();
}

TEST(StartUp, FirstStartMakesAConfigurationAndAnEmptyDatabase) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("config/svod/pr_vt.ini"));
    const QString data = dir.filePath(QStringLiteral("data/svod"));
    prepareFirstStart(ini, data);
    ASSERT_TRUE(QFile::exists(ini));
    IniFile file(ini);
    EXPECT_EQ(file.value(QStringLiteral("connect"), QStringLiteral("string")),
              QStringLiteral("sqlite:") + data + QStringLiteral("/svod.db"));
    RecordingMessages messages;
    {
        DesktopApp app(ini, messages, {});
        ASSERT_TRUE(app.start()) << messages.log.join(u'\n').toStdString();
        // The tables exist: the whole menu is there, with no reports yet.
        EXPECT_TRUE(app.mainWindow().action(QStringLiteral("N6"))->isVisible());
        EXPECT_TRUE(app.mainWindow().reportsMenu()->actions().isEmpty());
        app.close();
    }
    EXPECT_TRUE(messages.log.isEmpty()) << messages.log.join(u'\n').toStdString();
    // A second start leaves the user's file alone.
    writeIni(ini, "[connect]\r\nstring=sqlite:/elsewhere.db\r\n");
    prepareFirstStart(ini, data);
    EXPECT_EQ(IniFile(ini).value(QStringLiteral("connect"), QStringLiteral("string")),
              QStringLiteral("sqlite:/elsewhere.db"));
}

// A report item runs its stored template into a preview; a vanished report is reported.
TEST(ReportsMenu, ItemsRunStoredReportsIntoPreviews) {
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("c.db"));
    {
        db::Connection c;
        c.open(QStringLiteral("sqlite:") + dbPath);
        db::createSchema(c);
        c.execute(QStringLiteral("insert into FILIALS (KOD, NAZVANIE) values ('01', 'Север')"));
        c.execute(QStringLiteral("insert into INV_OST (ID, KOD_F, DD, TYP, SALDO, DELTA) "
                                 "values ('A1', '01', '2005-01-31 00:00:00', '1', 100, 100)"));
        const auto titled = [](const QString& title) {
            return engine::templateToBlob(test::titledTemplate(title, 300));
        };
        // Two items of one caption are told apart by their IDs.
        QSqlQuery q = c.prepare(QStringLiteral("insert into REPORT (ID, NAZV, REPORT) values (?, ?, ?)"));
        c.execPrepared(q, {10, QStringLiteral("Дубль"), titled(QStringLiteral("первый"))});
        c.execPrepared(q, {11, QStringLiteral("Дубль"), titled(QStringLiteral("второй"))});
        c.execPrepared(q, {12, QStringLiteral("Удаленный"), titled(QStringLiteral("x"))});
        engine::insertDemoReports(c);
    }
    const QString ini = sqliteIni(dir);
    RecordingMessages messages;
    DesktopApp app(ini, messages, {});
    ASSERT_TRUE(app.start()) << messages.log.join(u'\n').toStdString();
    MainWindow& w = app.mainWindow();
    const auto lastPreview = [&]() -> reports::PreviewWindow* {
        const auto subs = w.mdiArea()->subWindowList();
        return subs.isEmpty() ? nullptr : qobject_cast<reports::PreviewWindow*>(subs.last()->widget());
    };
    const auto previewHas = [&](const QString& text) {
        auto* preview = lastPreview();
        return preview && !preview->document().findText(0, text, Qt::CaseSensitive).isEmpty();
    };

    w.action(QStringLiteral("frr10"))->trigger();
    EXPECT_TRUE(previewHas(QStringLiteral("первый")));
    w.action(QStringLiteral("frr11"))->trigger();
    EXPECT_TRUE(previewHas(QStringLiteral("второй")));
    EXPECT_EQ(w.mdiArea()->subWindowList().size(), 2) << "each run opens its own preview";

    // A template replaced on the server after start-up runs as it is now.
    app.connection().execute(
        QStringLiteral("update REPORT set REPORT = (select REPORT from REPORT where ID = 11) "
                       "where ID = 10"));
    w.action(QStringLiteral("frr10"))->trigger();
    EXPECT_TRUE(previewHas(QStringLiteral("второй")));

    app.connection().execute(QStringLiteral("delete from REPORT where ID = 12"));
    w.action(QStringLiteral("frr12"))->trigger();
    EXPECT_EQ(messages.log, QStringList{QStringLiteral("plain: Отчет не найден: 12")});
    EXPECT_EQ(w.mdiArea()->subWindowList().size(), 3);

    // "Отмена" in the progress dialog stops the run: no preview.
    struct CancelOnShow final : QObject {
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("ProgressDialog"))
                if (auto* cancel = watched->findChild<QPushButton*>(QStringLiteral("CancelButton")))
                    cancel->click();
            return false;
        }
    } cancelOnShow;
    qApp->installEventFilter(&cancelOnShow);
    w.action(QStringLiteral("frr11"))->trigger();
    qApp->removeEventFilter(&cancelOnShow);
    EXPECT_EQ(w.mdiArea()->subWindowList().size(), 3) << "a cancelled run opens no preview";

    // A demo report runs its SQL on the program's connection, its dialog answered with OK.
    test::DialogPageDriver pressOk;
    for (QAction* a : w.findChildren<QAction*>())
        if (a->text() == QStringLiteral("Остатки по филиалам на дату"))
            a->trigger();
    EXPECT_TRUE(previewHas(QStringLiteral("Север")));
    EXPECT_TRUE(previewHas(QStringLiteral("Остатки основных средств по филиалам")));
    app.close();
}

// "Дизайнер отчетов" opens a catalogue window; a report imported there joins the reports menu at
// once and its item runs the imported template.
TEST(ReportCatalogue, OpensFromTheServiceMenuAndImportedReportsRunFromTheMenu) {
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("c.db"));
    {
        db::Connection c;
        c.open(QStringLiteral("sqlite:") + dbPath);
        db::createSchema(c);
    }
    const QString ini = sqliteIni(dir);
    RecordingMessages messages;
    DesktopApp app(ini, messages, {});
    ASSERT_TRUE(app.start()) << messages.log.join(u'\n').toStdString();
    MainWindow& w = app.mainWindow();
    w.show();

    w.action(QStringLiteral("N7"))->trigger();
    w.action(QStringLiteral("N7"))->trigger();
    const auto catalogues = w.findChildren<reports::ReportCatalogueWindow*>(QStringLiteral("Form2"));
    ASSERT_EQ(catalogues.size(), 2) << "each use of the command opens a new window"
                                    << messages.log.join(u'\n').toStdString();
    reports::ReportCatalogueWindow* catalogue = catalogues.last();
    EXPECT_EQ(catalogue->size(), QSize(607, 391));

    engine::Report file;
    file.setTemplate(test::titledTemplate(QStringLiteral("импортированный шаблон"), 300));
    const QString path = dir.filePath(QStringLiteral("Импорт.frf"));
    file.saveToFile(path);

    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
            test::typeFileName(*dialog, path);
    });
    answer.start(10);
    catalogue->findChild<QPushButton*>(QStringLiteral("Button8"))->click();
    answer.stop();
    EXPECT_TRUE(
        messages.log.contains(QStringLiteral("confirm: Добавить новый отчет \"Импорт\" в базу программы ?")))
        << messages.log.join(u'\n').toStdString();
    QAction* item = w.action(QStringLiteral("frr0"));
    ASSERT_NE(item, nullptr) << "the imported report's item is added at once";
    EXPECT_EQ(item->text(), QStringLiteral("Импорт"));
    EXPECT_EQ(w.reportsMenu()->actions().last(), item);
    item->trigger();
    const auto subs = w.mdiArea()->subWindowList();
    auto* preview = qobject_cast<reports::PreviewWindow*>(subs.last()->widget());
    ASSERT_NE(preview, nullptr);
    EXPECT_FALSE(preview->document()
                     .findText(0, QStringLiteral("импортированный шаблон"), Qt::CaseSensitive)
                     .isEmpty());
    app.close();
}

TEST(Previews, OpenFillingTheWorkspaceAndKeepTheZoomBetweenSessions) {
    QTemporaryDir dir;
    const QString ini = sqliteIni(dir, "[preview]\r\nzoom=page\r\n");
    RecordingMessages messages;
    const QString before = reports::PreviewWindow::lastZoom();
    {
        DesktopApp app(ini, messages, {});
        ASSERT_TRUE(app.start());
        EXPECT_EQ(reports::PreviewWindow::lastZoom(), QStringLiteral("page"));
        app.mainWindow().show();
        engine::TableData table;
        table.title = QStringLiteral("Протокол");
        table.columns = {{QStringLiteral("A"), QStringLiteral("Код"), 10, false}};
        table.rows = {{QStringLiteral("01")}};
        QMdiSubWindow* sub = app.showPreview(reports::makeComposedProtocols({table}),
                                             QStringLiteral("Протокол ошибок"), false);
        QCoreApplication::processEvents();
        const QSize area = app.mainWindow().mdiArea()->viewport()->size();
        EXPECT_EQ(sub->size(), area) << "not a strip that must be maximised each time";
        EXPECT_GT(sub->height(), 300);
        reports::PreviewWindow::setLastZoom(QStringLiteral("75"));
        app.close();
    }
    EXPECT_EQ(IniFile(ini).value(QStringLiteral("preview"), QStringLiteral("zoom")), QStringLiteral("75"));
    reports::PreviewWindow::setLastZoom(before);
}

TEST(Help, OpensAtThePageOfTheActiveWindow) {
    help::setHelpDirectory(QStringLiteral(SVOD_HELP_SOURCE_DIR));
    QTemporaryDir dir;
    const QString ini = sqliteIni(dir);
    RecordingMessages messages;
    DesktopApp app(ini, messages, {});
    ASSERT_TRUE(app.start());
    app.mainWindow().show();
    const auto helpWindow = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* h = qobject_cast<help::HelpWindow*>(w); h && h->isVisible())
                return h;
        return static_cast<help::HelpWindow*>(nullptr);
    };
    app.mainWindow().action(QStringLiteral("N16"))->trigger();
    ASSERT_NE(helpWindow(), nullptr);
    EXPECT_EQ(helpWindow()->currentPage(), QStringLiteral("index.html"));

    engine::TableData table;
    table.title = QStringLiteral("Протокол");
    table.columns = {{QStringLiteral("A"), QStringLiteral("Код"), 10, false}};
    QMdiSubWindow* sub =
        app.showPreview(reports::makeComposedProtocols({table}), QStringLiteral("Протокол"), false);
    app.mainWindow().mdiArea()->setActiveSubWindow(sub);
    app.mainWindow().action(QStringLiteral("N16"))->trigger();
    EXPECT_EQ(helpWindow()->currentPage(), QStringLiteral("preview.html"));
    helpWindow()->showPage(QStringLiteral("index.html"));
    sub->widget()->findChild<QToolButton*>(QStringLiteral("HelpButton"))->click();
    EXPECT_EQ(helpWindow()->currentPage(), QStringLiteral("preview.html"));

    QMdiSubWindow frame;
    auto* branches = new QWidget; // owned by the frame
    branches->setObjectName(QStringLiteral("Form3"));
    branches->setWindowTitle(QStringLiteral("Актуальность данных по филиалам"));
    frame.setWidget(branches);
    EXPECT_EQ(MainWindow::helpPageFor(&frame), QStringLiteral("actuality.html"));
    helpWindow()->close();
    help::setHelpDirectory({});
    app.close();
}

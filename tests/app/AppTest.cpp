#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/DesktopApp.h"
#include "app/FirstStart.h"
#include "app/MainWindow.h"
#include "app/MessageConventions.h"
#include "app/ProgressDialog.h"
#include "app/ReceptionModeDialog.h"
#include "db/Connection.h"
#include "db/Error.h"
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

using namespace svod;
using namespace svod::app;

namespace {
// Records every text; answers questions from a script (OK / Yes by default).
class RecordingMessages final : public Messages {
public:
    QStringList log;
    void plain(const QString& text) override { log << QStringLiteral("plain: ") + text; }
    void information(const QString& text) override { log << QStringLiteral("info: ") + text; }
    void error(const QString& text) override { log << QStringLiteral("error: ") + errorDisplayText(text); }
    bool confirm(const QString& text) override {
        log << QStringLiteral("confirm: ") + text;
        return true;
    }
    bool askYesNo(const QString& text) override {
        log << QStringLiteral("yesno: ") + text;
        return true;
    }
};

QStringList captions(const QMenu* menu) {
    QStringList result;
    for (const QAction* a : menu->actions())
        result << (a->isSeparator() ? QStringLiteral("-") : a->text()) + u'=' + a->objectName();
    return result;
}

void writeIni(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QStringList visibleNames(MainWindow& w) {
    QStringList names;
    for (QAction* a : w.menuBar()->actions()) {
        if (!a->isVisible())
            continue;
        names << a->objectName();
        if (a->menu())
            for (QAction* sub : a->menu()->actions())
                if (sub->isVisible())
                    names << sub->objectName();
    }
    return names;
}
} // namespace

TEST(MainWindowMenu, TreeCaptionsAndComponentNames) {
    RecordingMessages messages;
    MainWindow w(messages);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Сводная отчетность по МСФО (\"Тальвер\") версия 1.29"));
    QStringList top;
    for (QAction* a : w.menuBar()->actions())
        top << a->text() + u'=' + a->objectName();
    EXPECT_EQ(top, (QStringList{"Программа=N1", "Отчеты=N5", "Сервис=N6", "Окна=N11", "Помощь=N8"}));
    EXPECT_EQ(captions(w.action(QStringLiteral("N1"))->menu()),
              (QStringList{"Прием данных=N4", "Прием данных по инфляции=N17", "-=N18", "Список филиалов=N10",
                           "Актуальность данных=N13", "Протокол автоматического приема=N21", "Настройки=N20",
                           "-=N14", "Открыть отчет=N15", "-=N3", "Выход=N2"}));
    EXPECT_EQ(captions(w.action(QStringLiteral("N6"))->menu()),
              (QStringList{"Дизайнер отчетов=N7", "Управление=N19"}));
    EXPECT_EQ(captions(w.action(QStringLiteral("N11"))->menu()),
              (QStringList{"Закрыть текущее окно=Close1", "-=N12", "Упорядочить=Cascade1",
                           "Расположить горизонтально=TileHorizontally1",
                           "Расположить вертикально=TileVertically1", "Свернуть все=MinimizeAll1"}));
    EXPECT_EQ(captions(w.action(QStringLiteral("N8"))->menu()),
              (QStringList{"Справка=N16", "О программе=N9"}));

    w.action(QStringLiteral("N9"))->trigger();
    EXPECT_EQ(messages.log,
              QStringList{QStringLiteral("plain: Сводные отчеты по филиалам \"Тальвер\" Версия 1.29")});
}

TEST(MainWindowMenu, WindowCommandsNeedAChildWindow) {
    RecordingMessages messages;
    MainWindow w(messages);
    w.show();
    const QStringList commands{"Close1", "Cascade1", "TileHorizontally1", "TileVertically1", "MinimizeAll1"};
    for (const QString& c : commands)
        EXPECT_FALSE(w.action(c)->isEnabled()) << c.toStdString();
    // The same command twice gives two independent windows.
    w.addChildWindow(new QWidget)->setWindowTitle(QStringLiteral("Список филиалов"));
    w.addChildWindow(new QWidget)->setWindowTitle(QStringLiteral("Список филиалов"));
    EXPECT_EQ(w.mdiArea()->subWindowList().size(), 2);
    for (const QString& c : commands)
        EXPECT_TRUE(w.action(c)->isEnabled()) << c.toStdString();
    w.action(QStringLiteral("TileVertically1"))->trigger();
    const auto subs = w.mdiArea()->subWindowList();
    EXPECT_EQ(subs[0]->geometry().top(), subs[1]->geometry().top());
    EXPECT_LT(subs[0]->geometry().right(), subs[1]->geometry().left() + 1);
    w.action(QStringLiteral("Close1"))->trigger();
    w.action(QStringLiteral("Close1"))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.mdiArea()->subWindowList().isEmpty());
    for (const QString& c : commands)
        EXPECT_FALSE(w.action(c)->isEnabled()) << c.toStdString();
}

TEST(MainWindowMenu, ReportsMenuFromTheReportTable) {
    QTemporaryDir dir;
    db::Connection c;
    c.open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("r.db")));
    db::createSchema(c);
    RecordingMessages messages;
    {
        // An empty table leaves "Отчеты" empty but visible, the rest as it was.
        MainWindow w(messages);
        w.loadReportsMenu(&c);
        EXPECT_TRUE(w.reportsMenu()->actions().isEmpty());
        EXPECT_TRUE(w.action(QStringLiteral("N5"))->isVisible());
        EXPECT_TRUE(w.action(QStringLiteral("N7"))->isVisible());
    }
    c.execute(QStringLiteral(
        "insert into REPORT (ID, NAZV) values (0, 'Остатки'), (1, 'Остатки'), (5, 'Обороты')"));
    MainWindow w(messages);
    QStringList ran;
    w.setReportCommand([&](const QString& id) { ran << id; });
    w.loadReportsMenu(&c);
    const auto items = w.reportsMenu()->actions();
    ASSERT_EQ(items.size(), 3);
    // Equal captions, different hints: each runs its own report.
    EXPECT_EQ(items[0]->text(), items[1]->text());
    EXPECT_EQ(items[0]->objectName(), QStringLiteral("frr0"));
    EXPECT_EQ(items[1]->statusTip(), QStringLiteral("1"));
    items[1]->trigger();
    items[0]->trigger();
    EXPECT_EQ(ran, (QStringList{"1", "0"}));
}

TEST(MainWindowMenu, UnreadableReportTableReducesTheMenu) {
    QTemporaryDir dir;
    db::Connection c;
    c.open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("r.db")));
    RecordingMessages messages;
    MainWindow w(messages);
    w.loadReportsMenu(&c); // no REPORT table at all
    EXPECT_EQ(visibleNames(w), (QStringList{"N1", "N4", "N2"}));
    EXPECT_TRUE(messages.log.isEmpty());

    // Not open: nothing is reduced.
    MainWindow w2(messages);
    db::Connection closed;
    w2.loadReportsMenu(&closed);
    EXPECT_TRUE(w2.action(QStringLiteral("N6"))->isVisible());
}

TEST(MainWindowMenu, CommandErrorsGoToTheDefaultErrorDisplay) {
    RecordingMessages messages;
    MainWindow w(messages);
    w.setCommand(MainWindow::Command::ReceiveData,
                 [] { throw Error(QStringLiteral("Прервано пользователем")); });
    w.action(QStringLiteral("N4"))->trigger();
    w.setCommand(MainWindow::Command::ReceiveData,
                 [] { throw Error(QStringLiteral("Необходимые для приема файлы не найдены!")); });
    w.action(QStringLiteral("N4"))->trigger();
    EXPECT_EQ(messages.log, (QStringList{"error: Прервано пользователем.",
                                         "error: Необходимые для приема файлы не найдены!"}));
}

TEST(MessageConventions, FullStopRule) {
    EXPECT_EQ(errorDisplayText(QStringLiteral("Прервано пользователем")),
              QStringLiteral("Прервано пользователем."));
    EXPECT_EQ(errorDisplayText(QStringLiteral("Ошибка!")), QStringLiteral("Ошибка!"));
    EXPECT_EQ(errorDisplayText(QStringLiteral("Готово.")), QStringLiteral("Готово."));
    EXPECT_EQ(errorDisplayText(QStringLiteral("(тип1)")), QStringLiteral("(тип1)"));
    EXPECT_EQ(errorDisplayText(QStringLiteral("Строка 5")), QStringLiteral("Строка 5."));
    EXPECT_EQ(errorDisplayText(QStringLiteral("abc ")), QStringLiteral("abc "));
    EXPECT_EQ(errorDisplayText(QString()), QString());
}

TEST(Help, CommandLineOnWindows) {
    EXPECT_EQ(MainWindow::helpCommandLine(QStringLiteral("C:\\Program Files\\svod")),
              QStringLiteral("hh.exe mk:@MSITStore:C:\\Program Files\\svod\\svod_mu.chm"));
    EXPECT_EQ(MainWindow::helpCommandLine(QStringLiteral("D:\\")),
              QStringLiteral("hh.exe mk:@MSITStore:D:\\svod_mu.chm"));
}

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

TEST(ProgressDialogExecute, RunsInsideTheDialogAndReraisesUnchanged) {
    QWidget owner;
    ProgressDialog progress(&owner);
    EXPECT_EQ(progress.caption(), QStringLiteral("Подождите..."));
    EXPECT_EQ(progress.infoText(), QStringLiteral(" "));
    bool ranInside = false;
    try {
        progress.execute([&] {
            ranInside = progress.window() != nullptr && progress.window()->isVisible();
            progress.setInfoLabel(QStringLiteral("Перенос данных на сервер"));
            progress.setProgress(ProgressDialog::Maximum, 10);
            progress.setProgress(ProgressDialog::Position, 3);
            EXPECT_EQ(progress.barValue(), 3);
            auto* cancel = progress.window()->findChild<QPushButton*>(QStringLiteral("CancelButton"));
            ASSERT_NE(cancel, nullptr);
            EXPECT_EQ(cancel->text(), QStringLiteral("Отмена"));
            QTest::mouseClick(cancel, Qt::LeftButton);
            // The button only sets the flag; the window stays until the operation ends.
            EXPECT_TRUE(progress.window()->isVisible());
            if (progress.cancelled())
                throw Error(QStringLiteral("Прервано пользователем"));
        });
        FAIL() << "the operation's error must reach the caller";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Прервано пользователем"));
    }
    EXPECT_TRUE(ranInside);
    EXPECT_EQ(progress.window(), nullptr);
    // The next run starts with the flag cleared.
    bool cancelledAtStart = true;
    progress.execute([&] { cancelledAtStart = progress.cancelled(); });
    EXPECT_FALSE(cancelledAtStart);
    // Without an operation nothing happens.
    EXPECT_NO_THROW(progress.execute({}));
}

TEST(ReceptionMode, DialogControlsAndAnswers) {
    ReceptionModeDialog dialog(false);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Прием данных"));
    auto* direct = dialog.findChild<QRadioButton*>(QStringLiteral("RadioItem1"));
    auto* test = dialog.findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    ASSERT_TRUE(direct && test);
    EXPECT_EQ(dialog.selectedIndex(), 0);
    EXPECT_TRUE(test->isEnabled());
    EXPECT_FALSE(test->isChecked());
    direct->setChecked(true);
    EXPECT_FALSE(test->isEnabled());
    EXPECT_EQ(dialog.selectedIndex(), 1);

    // The static form: OK with the test option gives "99"; Cancel leaves the code.
    auto answer = [](bool hideTest, bool pickDirect, bool tick, bool ok, QString& code) {
        QTimer::singleShot(0, [=] {
            auto* d = qobject_cast<ReceptionModeDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            if (pickDirect)
                d->findChild<QRadioButton*>(QStringLiteral("RadioItem1"))->setChecked(true);
            if (tick)
                d->findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->setChecked(true);
            d->findChild<QPushButton*>(ok ? QStringLiteral("Button2") : QStringLiteral("Button1"))->click();
        });
        return ReceptionModeDialog::ask(code, hideTest, nullptr);
    };
    QString code;
    EXPECT_EQ(answer(false, false, true, true, code), reception::PriemMode::FromFile);
    EXPECT_EQ(code, QStringLiteral("99"));
    code = QStringLiteral("keep");
    EXPECT_EQ(answer(false, false, true, false, code), reception::PriemMode::Cancelled);
    EXPECT_EQ(code, QStringLiteral("keep"));
    code.clear();
    EXPECT_EQ(answer(true, false, true, true, code), reception::PriemMode::FromFile);
    EXPECT_TRUE(code.isEmpty()) << "a hidden test option never applies";
    EXPECT_EQ(answer(false, true, false, true, code), reception::PriemMode::Direct);
    EXPECT_TRUE(code.isEmpty());
}

TEST(MainWindowMenu, ClosingTheProgramWithOpenChildWindows) {
    RecordingMessages messages;
    auto w = std::make_unique<MainWindow>(messages);
    w->show();
    w->addChildWindow(new QWidget);
    w->addChildWindow(new QWidget);
    QCoreApplication::processEvents();
    // Destroying the frame with children open must not call back into it (checked under ASan).
    w.reset();
    QCoreApplication::processEvents();
    SUCCEED();
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
            engine::ReportTemplate t;
            engine::Band b;
            b.kind = engine::BandKind::ReportTitle;
            b.height = 20;
            engine::TemplateObject o;
            o.rect = QRectF(0, 0, 300, 20);
            o.text = title;
            b.objects << o;
            t.bands << b;
            return engine::templateToBlob(t);
        };
        // Two items of one caption are told apart by their IDs.
        QSqlQuery q = c.prepare(QStringLiteral("insert into REPORT (ID, NAZV, REPORT) values (?, ?, ?)"));
        c.execPrepared(q, {10, QStringLiteral("Дубль"), titled(QStringLiteral("первый"))});
        c.execPrepared(q, {11, QStringLiteral("Дубль"), titled(QStringLiteral("второй"))});
        c.execPrepared(q, {12, QStringLiteral("Удаленный"), titled(QStringLiteral("x"))});
        engine::insertDemoReports(c);
    }
    const QString ini = dir.filePath(QStringLiteral("pr_vt.ini"));
    writeIni(ini, QStringLiteral("[connect]\r\nstring=sqlite:%1\r\n").arg(dbPath).toUtf8());
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

    // A demo report runs its SQL on the program's connection.
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
    const QString ini = dir.filePath(QStringLiteral("pr_vt.ini"));
    writeIni(ini, QStringLiteral("[connect]\r\nstring=sqlite:%1\r\n").arg(dbPath).toUtf8());
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

    engine::ReportTemplate t;
    engine::Band b;
    b.kind = engine::BandKind::ReportTitle;
    b.height = 20;
    engine::TemplateObject o;
    o.rect = QRectF(0, 0, 300, 20);
    o.text = QStringLiteral("импортированный шаблон");
    b.objects << o;
    t.bands << b;
    engine::Report file;
    file.setTemplate(t);
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

TEST(StartUp, CaptionExactlyAndQtTextsInRussian) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("pr_vt.ini"));
    writeIni(ini, QStringLiteral("[connect]\r\nstring=sqlite:%1\r\n")
                      .arg(dir.filePath(QStringLiteral("c.db")))
                      .toUtf8());
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

TEST(Previews, OpenFillingTheWorkspaceAndKeepTheZoomBetweenSessions) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("pr_vt.ini"));
    writeIni(ini, QStringLiteral("[connect]\r\nstring=sqlite:%1\r\n[preview]\r\nzoom=page\r\n")
                      .arg(dir.filePath(QStringLiteral("c.db")))
                      .toUtf8());
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
    const QString ini = dir.filePath(QStringLiteral("pr_vt.ini"));
    writeIni(ini, QStringLiteral("[connect]\r\nstring=sqlite:%1\r\n")
                      .arg(dir.filePath(QStringLiteral("c.db")))
                      .toUtf8());
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

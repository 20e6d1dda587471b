// The main window's menu tree, its window commands and the reports menu read from REPORT.
#include <QAction>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/MainWindow.h"
#include "db/Connection.h"
#include "db/Error.h"
#include "db/Schema.h"
#include "support/RecordingMessages.h"

using namespace svod;
using namespace svod::app;
using RecordingMessages = svod::test::LabelledMessages;

namespace {
QStringList captions(const QMenu* menu) {
    QStringList result;
    for (const QAction* a : menu->actions())
        result << (a->isSeparator() ? QStringLiteral("-") : a->text()) + u'=' + a->objectName();
    return result;
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

TEST(Help, CommandLineOnWindows) {
    EXPECT_EQ(MainWindow::helpCommandLine(QStringLiteral("C:\\Program Files\\svod")),
              QStringLiteral("hh.exe mk:@MSITStore:C:\\Program Files\\svod\\svod_mu.chm"));
    EXPECT_EQ(MainWindow::helpCommandLine(QStringLiteral("D:\\")),
              QStringLiteral("hh.exe mk:@MSITStore:D:\\svod_mu.chm"));
}

// The branch directory, log detail and administration windows, opened through the main menu
// of the desktop program and driven by their component names.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/DesktopApp.h"
#include "app/MainWindow.h"
#include "db/Connection.h"
#include "directory/Administration.h"
#include "directory/EditableTable.h"
#include "support/RecordingMessages.h"
#include "support/TestDatabase.h"
#include "widgets/DataGrid.h"
#include "widgets/MultiLevelHeader.h"
#include "windows/AdministrationWindow.h"
#include "windows/BranchDirectoryWindow.h"
#include "windows/LogDetailWindow.h"

using namespace svod;
using namespace svod::app;
using svod::test::RecordingMessages;
using windows::BranchDirectoryWindow;

namespace {
// Answers the message boxes that appear (OK unless told to cancel) and records their texts and
// the main window's status text at that moment.
class BoxAnswerer {
public:
    explicit BoxAnswerer(MainWindow* window) : window_(window) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
    }
    QStringList texts;
    QStringList statuses;
    bool cancel = false;

private:
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        texts << box->text();
        statuses << (window_ ? window_->statusText() : QString());
        QAbstractButton* button = box->button(cancel ? QMessageBox::Cancel : QMessageBox::Ok);
        (button ? button : box->buttons().front())->click();
    }
    MainWindow* window_;
    QTimer timer_;
};

QStringList titles(const widgets::DataGrid* grid) {
    QStringList result;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (!grid->isColumnHidden(c))
            result << grid->model()->headerData(c, Qt::Horizontal, widgets::TitleRole).toString();
    return result;
}

// Every control a user or a screen reader reaches has a name.
QStringList unnamedControls(QWidget* window) {
    QStringList unnamed;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                             qobject_cast<QDateEdit*>(w) || qobject_cast<QLineEdit*>(w) ||
                             qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w) ||
                             qobject_cast<QAbstractItemView*>(w);
        // Pop-ups of combo boxes and date pickers are their own windows, named by Qt.
        if (!control || w->window() != window->window() || w->objectName().startsWith(QLatin1String("qt_")) ||
            !w->parentWidget() || qobject_cast<QDateEdit*>(w->parentWidget()) ||
            qobject_cast<QComboBox*>(w->parentWidget()) ||
            qobject_cast<QAbstractItemView*>(w->parentWidget()))
            continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
    }
    return unnamed;
}

class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = std::make_unique<test::TestDatabase>(db::Backend::SQLite);
        db_->createSchema();
        auto& c = db_->connection();
        c.execute(QStringList{
            QStringLiteral(
                "insert into FILIALS (KOD, NAZVANIE, D_BEG) values ('01', 'Москва', '2000-01-01 00:00:00')"),
            QStringLiteral(
                "insert into FILIALS (KOD, NAZVANIE, D_BEG) values ('02', 'Пермь', '2000-01-01 00:00:00')"),
            QStringLiteral(
                "insert into CLT (LABEL, NAME, DD) values ('CHECK_ZERO_BST', 'Проверка', '2004-01-01 "
                "00:00:00')"),
            QStringLiteral("insert into INV (ID, KOD_F, NAME) values ('A1', '02', 'Станок')"),
            QStringLiteral("insert into INV_OST (ID, KOD_F, DD, TYP, SALDO, DELTA) values ('A1', '02', "
                           "'2005-01-31 00:00:00', '1', 1, 0)"),
            QStringLiteral("insert into INV_OST3 (ID, KOD_F, DD, TYP, SALDO, DELTA) values ('A1', '02', "
                           "'2005-01-31 00:00:00', '3', 1, 0)"),
            QStringLiteral(
                "insert into LOG_ACCEPT (DD, STATUS, KODFIL, MES) values ('2005-03-01 10:00:00', 0, "
                "'02', 'принят')"),
            QStringLiteral(
                "insert into LOG_ACCEPT (DD, STATUS, KODFIL, MES) values ('2005-03-01 11:00:00', 20, "
                "'77', 'строка 1\nстрока 2')")});
        ini_ = dir_.filePath(QStringLiteral("pr_vt.ini"));
        QFile f(ini_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[connect]\r\nstring=%1\r\n[setup]\r\ndontlogindialog=1\r\n")
                    .arg(db_->connectionString())
                    .toUtf8());
        f.close();
        app_ = std::make_unique<DesktopApp>(ini_, messages_, DesktopApp::LoginPrompt{});
        ASSERT_TRUE(app_->start());
        window().resize(1000, 700);
        window().show();
    }
    void TearDown() override {
        if (app_)
            app_->mainWindow().mdiArea()->closeAllSubWindows();
        QApplication::processEvents();
        app_.reset();
    }
    MainWindow& window() { return app_->mainWindow(); }
    // Chooses a menu item by its component name; the newest child window's content.
    template <typename W> W* choose(const char* item) {
        window().action(QString::fromLatin1(item))->trigger();
        QApplication::processEvents();
        const auto subs = window().mdiArea()->subWindowList(QMdiArea::CreationOrder);
        return subs.isEmpty() ? nullptr : qobject_cast<W*>(subs.last()->widget());
    }
    qint64 count(const QString& sql) { return db_->connection().scalar(sql).toLongLong(); }

    QTemporaryDir dir_;
    QString ini_;
    std::unique_ptr<test::TestDatabase> db_;
    RecordingMessages messages_;
    std::unique_ptr<DesktopApp> app_;
};
} // namespace

TEST_F(WindowsTest, EachViewOpensWithItsCaptionAndTitles) {
    auto* branches = choose<BranchDirectoryWindow>("N10");
    ASSERT_TRUE(branches);
    EXPECT_EQ(branches->objectName(), QStringLiteral("Form3"));
    EXPECT_EQ(branches->windowTitle(), QStringLiteral("Список филиалов"));
    EXPECT_EQ(titles(branches->grid()),
              (QStringList{"Код", "Наименование", "Дата начала работы", "Дата окончания работы",
                           "Минимальная дата приема по валюте", "Минимальная дата приема по рублям",
                           "Проверка ост. стоимости"}));
    EXPECT_FALSE(branches->findChild<QWidget*>(QStringLiteral("Panel1"))->isVisible());
    EXPECT_EQ(branches->size(), QSize(632, 365));
    EXPECT_EQ(branches->grid()->model()->data(branches->grid()->model()->index(0, 2)).toString(),
              QStringLiteral("01.01.2000"));

    auto* actuality = choose<BranchDirectoryWindow>("N13");
    EXPECT_EQ(actuality->windowTitle(), QStringLiteral("Актуальность данных по филиалам"));
    EXPECT_EQ(titles(actuality->grid()),
              (QStringList{"Код", "Наименование", "Данные в долларах|с", "Данные в долларах|по",
                           "Данные в рублях|с", "Данные в рублях|по", "Данные по инфляции"}));
    EXPECT_TRUE(actuality->grid()->multiLevelHeader()->hasTwoLevels());
    EXPECT_TRUE(actuality->gridShown());
    EXPECT_EQ(app_->connection().commandTimeout(), 10000);

    auto* variables = choose<BranchDirectoryWindow>("N20");
    EXPECT_EQ(variables->windowTitle(), QStringLiteral("Переменные программы"));
    EXPECT_EQ(titles(variables->grid()), (QStringList{"Код", "Наименование", "Дата ввода", "Значение(строка)",
                                                      "Значение(дата)", "Значение(число)"}));

    auto* log = choose<BranchDirectoryWindow>("N21");
    EXPECT_EQ(log->windowTitle(), QStringLiteral("Протокол работы автоматического приема"));
    EXPECT_TRUE(log->findChild<QWidget*>(QStringLiteral("Panel1"))->isVisible());
    EXPECT_FALSE(log->gridShown()) << "hidden until the first apply";
    EXPECT_EQ(log->panelText(), QStringLiteral("Выберите параметры отображения и нажмите \"Применить\"."));
    auto* branchList = log->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    ASSERT_EQ(branchList->count(), 3);
    EXPECT_EQ(branchList->itemText(0), QStringLiteral("Все"));

    // The same command twice: two independent windows.
    choose<BranchDirectoryWindow>("N10");
    EXPECT_EQ(window().mdiArea()->subWindowList().size(), 5);
    EXPECT_TRUE(messages_.log.isEmpty()) << messages_.log.join(u'\n').toStdString();
    for (QMdiSubWindow* sub : window().mdiArea()->subWindowList())
        EXPECT_EQ(unnamedControls(sub->widget()), QStringList()) << sub->windowTitle().toStdString();
}

TEST_F(WindowsTest, ActualityDeletionThroughTheContextMenu) {
    auto* view = choose<BranchDirectoryWindow>("N13");
    ASSERT_TRUE(view);
    auto* grid = view->grid();
    ASSERT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(grid->model()->data(grid->model()->index(1, 2)).toString(), QStringLiteral("31.01.2005"));
    grid->setCurrentIndex(grid->model()->index(1, 0));
    QAction* remove = view->contextMenu()->findChild<QAction*>(QStringLiteral("DeleteBranchItem"));
    ASSERT_TRUE(remove);
    {
        BoxAnswerer boxes(&window());
        remove->trigger();
        EXPECT_EQ(boxes.texts,
                  (QStringList{
                      QStringLiteral("Вы уверены, что хотите удалить ВСЕ данные по филиалу\n\r\"Пермь\" ?"),
                      QStringLiteral("Данные удалены")}));
        EXPECT_EQ(boxes.statuses.value(1), QString());
    }
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_OST")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from LOG_ACCEPT")), 2);
    ASSERT_EQ(grid->model()->rowCount(), 2) << "refreshed, the branch stays listed";
    EXPECT_EQ(grid->model()->data(grid->model()->index(1, 2)).toString(), QString());
}

TEST_F(WindowsTest, FailedDeletionIsShownAndTheWindowStaysUsable) {
    db_->connection().execute(QStringLiteral("create trigger FAIL_OST3 before delete on INV_OST3 begin "
                                             "select raise(abort, 'injected failure'); end"));
    auto* view = choose<BranchDirectoryWindow>("N13");
    view->grid()->setCurrentIndex(view->grid()->model()->index(1, 0));
    {
        BoxAnswerer boxes(&window());
        view->deleteCurrentBranchData();
    }
    EXPECT_EQ(messages_.log, QStringList{QStringLiteral("error: injected failure.")});
    EXPECT_EQ(window().statusText(), QStringLiteral("Подождите, идет удаление ..."));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV")), 1) << "nothing half-deleted";
    EXPECT_TRUE(view->gridShown());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    view->contextMenu()->findChild<QAction*>(QStringLiteral("RefreshItem"))->trigger();
    EXPECT_EQ(view->grid()->model()->rowCount(), 2);
}

TEST_F(WindowsTest, PostErrorKeepsTheRowInEditState) {
    auto* view = choose<BranchDirectoryWindow>("N10");
    auto* grid = view->grid();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(1, 0));
    QTest::keyClick(grid, Qt::Key_Insert);
    ASSERT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(grid->currentRow(), 2);
    auto* table = qobject_cast<directory::EditableTable*>(grid->sourceModel());
    ASSERT_TRUE(table);
    grid->model()->setData(grid->model()->index(2, 0), QStringLiteral("01"));
    grid->model()->setData(grid->model()->index(2, 1), QStringLiteral("Дубль"));
    {
        BoxAnswerer boxes(&window());
        grid->setCurrentIndex(grid->model()->index(0, 0)); // leaving the row posts it
        QTest::qWait(50);
    }
    ASSERT_EQ(messages_.log.size(), 1);
    EXPECT_TRUE(messages_.log[0].startsWith(QStringLiteral("error: "))) << messages_.log[0].toStdString();
    EXPECT_EQ(grid->currentRow(), 2) << "the row stays current";
    EXPECT_EQ(table->rowState(2), directory::EditableTable::RowState::Inserted);
    EXPECT_EQ(grid->model()->data(grid->model()->index(2, 1)).toString(), QStringLiteral("Дубль"));

    grid->model()->setData(grid->model()->index(2, 0), QStringLiteral("03"));
    QTest::keyClick(grid, Qt::Key_Return); // confirming posts
    EXPECT_EQ(table->rowState(2), directory::EditableTable::RowState::Clean);
    EXPECT_EQ(count(QStringLiteral("select count(*) from FILIALS where KOD = '03' and NAZVANIE = 'Дубль'")),
              1);
}

TEST_F(WindowsTest, ClosingPostsTheEditedRowOrStaysOpen) {
    auto* view = choose<BranchDirectoryWindow>("N10");
    auto* grid = view->grid();
    grid->setCurrentIndex(grid->model()->index(0, 1));
    grid->model()->setData(grid->model()->index(0, 1), QStringLiteral("Москва-Сити"));
    grid->model()->setData(grid->model()->index(0, 2), QStringLiteral("31.02.2001"));
    QMdiSubWindow* frame = window().mdiArea()->subWindowList().last();
    EXPECT_FALSE(frame->close()) << "a row that cannot be posted keeps the window open";
    ASSERT_EQ(messages_.log.size(), 1);
    EXPECT_TRUE(messages_.log[0].contains(QStringLiteral("31.02.2001"))) << messages_.log[0].toStdString();
    grid->model()->setData(grid->model()->index(0, 2), QStringLiteral("28.02.2001"));
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(count(QStringLiteral("select count(*) from FILIALS where NAZVANIE = 'Москва-Сити'")), 1);
}

TEST_F(WindowsTest, LogPeriodFilterAndSharedDetail) {
    auto* view = choose<BranchDirectoryWindow>("N21");
    auto* from = view->findChild<QDateEdit*>(QStringLiteral("DateTimePicker1"));
    auto* to = view->findChild<QDateEdit*>(QStringLiteral("DateTimePicker2"));
    auto* apply = view->findChild<QPushButton*>(QStringLiteral("Button1"));
    from->setDate(QDate(2005, 3, 1));
    to->setDate(QDate(2005, 3, 1));
    apply->click();
    ASSERT_TRUE(view->gridShown());
    auto* grid = view->grid();
    ASSERT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(titles(grid), (QStringList{"Дата/время", "Статус", "Филиал"}));
    EXPECT_EQ(grid->model()->data(grid->model()->index(0, 2)).toString(),
              QStringLiteral("Не пройдена проверка пакета"));

    to->setDate(QDate(2005, 2, 28));
    apply->click();
    EXPECT_EQ(messages_.log,
              QStringList{QStringLiteral("error: Дата начала должна быть меньше даты окончания.")});
    EXPECT_EQ(grid->model()->rowCount(), 2) << "the rows stay";

    const QRect first = grid->visualRect(grid->model()->index(0, 1));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, first.center());
    QApplication::processEvents();
    auto* detail = window().findChild<windows::LogDetailWindow*>(QStringLiteral("Form5"));
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->windowTitle(), QStringLiteral("Подробно"));
    EXPECT_EQ(detail->branchText(), QStringLiteral("Не найден филиал с номером \"77\"!"));
    EXPECT_EQ(detail->statusText(), QStringLiteral("20"));
    EXPECT_EQ(detail->messageText(), QStringLiteral("строка 1\nстрока 2"));
    EXPECT_EQ(detail->findChild<QTextEdit*>(QStringLiteral("DBRichEdit1"))->lineWrapMode(),
              QTextEdit::NoWrap);

    const QRect second = grid->visualRect(grid->model()->index(1, 1));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    QApplication::processEvents();
    EXPECT_EQ(window().findChildren<windows::LogDetailWindow*>().size(), 1) << "one detail window serves all";
    EXPECT_EQ(detail->branchText(), QStringLiteral("Пермь"));
    EXPECT_EQ(window().mdiArea()->activeSubWindow()->widget(), detail);
    EXPECT_EQ(unnamedControls(detail), QStringList());

    detail->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(window().findChildren<windows::LogDetailWindow*>().isEmpty());
}

TEST_F(WindowsTest, AdministrationPagesByCodeTablesAndQueries) {
    auto* admin = choose<windows::AdministrationWindow>("N19");
    ASSERT_TRUE(admin);
    EXPECT_EQ(admin->windowTitle(), QStringLiteral("Управление программой"));
    auto* code = admin->findChild<QLineEdit*>(QStringLiteral("Edit1"));
    auto* go = admin->findChild<QPushButton*>(QStringLiteral("Button1"));
    const QStringList typedCodes = {QStringLiteral("0"),
                                    QStringLiteral("0") + QString::number(directory::QueryPageCode),
                                    QString::number(directory::TableCreationPageCode) + QStringLiteral(" ")};
    for (const QString& typed : typedCodes) {
        code->setText(typed);
        go->click();
        EXPECT_EQ(admin->currentPage(), 0) << typed.toStdString();
    }
    code->setText(QString::number(directory::TableCreationPageCode));
    go->click();
    EXPECT_EQ(admin->currentPage(), 1);
    db_->connection().execute(QStringLiteral("drop table INV_OST3"));
    {
        BoxAnswerer boxes(&window());
        admin->findChild<QPushButton*>(QStringLiteral("Button3"))->click();
        admin->findChild<QPushButton*>(QStringLiteral("Button3"))->click();
        EXPECT_EQ(boxes.texts, (QStringList{QStringLiteral("OK"), QStringLiteral("OK")}));
    }
    EXPECT_EQ(count(QStringLiteral("select count(*) from sqlite_master where name = 'INV_OST3'")), 1);

    auto* queries = choose<windows::AdministrationWindow>("N19");
    queries->findChild<QLineEdit*>(QStringLiteral("Edit1"))
        ->setText(QString::number(directory::QueryPageCode));
    queries->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    EXPECT_EQ(queries->currentPage(), 2);
    auto* memo = queries->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    auto* run = queries->findChild<QPushButton*>(QStringLiteral("Button4"));
    memo->setPlainText(QStringLiteral("select KOD, NAZVANIE\nfrom FILIALS"));
    run->click();
    EXPECT_EQ(queries->grid()->model()->rowCount(), 2);
    EXPECT_EQ(queries->grid()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("NAZVANIE"));
    memo->setPlainText(QStringLiteral("update FILIALS set CHECK_TYPE = 2"));
    {
        BoxAnswerer boxes(&window());
        run->click();
        EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("Запрос выполнен. Изменено строк: 2")});
    }
    EXPECT_EQ(count(QStringLiteral("select count(*) from FILIALS where CHECK_TYPE = 2")), 2);
    memo->setPlainText(QStringLiteral("selec 1"));
    run->click();
    ASSERT_EQ(messages_.log.size(), 1);
    EXPECT_TRUE(messages_.log[0].contains(QStringLiteral("syntax error"))) << messages_.log[0].toStdString();
    EXPECT_EQ(queries->grid()->model()->rowCount(), 0) << "the grid shows nothing after an error";
    EXPECT_EQ(unnamedControls(queries), QStringList());
}

// The desktop program asks a report's dialog pages in windows before it prepares the report.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "DialogPageDriver.h"
#include "app/DesktopApp.h"
#include "app/MainWindow.h"
#include "app/MessageConventions.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "engine/DemoReports.h"
#include "engine/TemplateStorage.h"
#include "reports/PreviewDocument.h"
#include "reports/PreviewWindow.h"
#include "support/RecordingMessages.h"

using namespace svod;
using namespace svod::app;
using svod::reports::DialogPageWindow;
using svod::test::DialogPageDriver;

namespace {

// Two branches with balances at two dates, the demo reports and one report whose button fails.
void fillDatabase(const QString& path) {
    db::Connection c;
    c.open(QStringLiteral("sqlite:") + path);
    db::createSchema(c);
    c.execute(QStringList{QStringLiteral("insert into FILIALS (KOD, NAZVANIE) values ('01', 'Север')"),
                          QStringLiteral("insert into FILIALS (KOD, NAZVANIE) values ('02', 'Юг')"),
                          QStringLiteral("insert into INV_OST (ID, KOD_F, DD, TYP, SALDO, DELTA) "
                                         "values ('A1', '01', '2005-01-31 00:00:00', '1', 1111, 0)"),
                          QStringLiteral("insert into INV_OST (ID, KOD_F, DD, TYP, SALDO, DELTA) "
                                         "values ('A1', '01', '2005-06-30 00:00:00', '1', 6666, 0)"),
                          QStringLiteral("insert into INV_OST (ID, KOD_F, DD, TYP, SALDO, DELTA) "
                                         "values ('B1', '02', '2005-01-31 00:00:00', '1', 2222, 0)")});
    engine::insertDemoReports(c);

    engine::ReportTemplate t;
    engine::DialogPage page;
    page.name = QStringLiteral("Dialog1");
    page.caption = QStringLiteral("Проверка");
    engine::DialogControl button;
    button.kind = engine::ControlKind::Button;
    button.name = QStringLiteral("Button7");
    button.caption = QStringLiteral("Пересчитать");
    button.rect = QRectF(8, 8, 100, 24);
    button.onClick = QStringLiteral("nosuchfunction();");
    page.controls << button;
    t.dialogs << page;
    QSqlQuery q = c.prepare(QStringLiteral("insert into REPORT (ID, NAZV, REPORT) values (?, ?, ?)"));
    c.execPrepared(q, {50, QStringLiteral("Сломанный"), engine::templateToBlob(t)});
}

class ReportDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        const QString db = dir_.filePath(QStringLiteral("c.db"));
        fillDatabase(db);
        const QString ini = dir_.filePath(QStringLiteral("pr_vt.ini"));
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[connect]\r\nstring=sqlite:%1\r\n").arg(db).toUtf8());
        f.close();
        app_ = std::make_unique<DesktopApp>(ini, messages_, DesktopApp::LoginPrompt{});
        ASSERT_TRUE(app_->start());
    }
    void TearDown() override { app_->close(); }

    void run(const QString& caption) {
        for (QAction* a : app_->mainWindow().findChildren<QAction*>())
            if (a->text() == caption)
                a->trigger();
    }
    int previews() const { return int(app_->mainWindow().mdiArea()->subWindowList().size()); }
    bool previewHas(const QString& text) const {
        const auto subs = app_->mainWindow().mdiArea()->subWindowList();
        auto* preview =
            subs.isEmpty() ? nullptr : qobject_cast<reports::PreviewWindow*>(subs.last()->widget());
        if (!preview)
            return false;
        for (int p = 0; p < preview->document().pageCount(); ++p)
            if (!preview->document().findText(p, text, Qt::CaseSensitive).isEmpty())
                return true;
        return false;
    }

    QTemporaryDir dir_;
    test::RecordingMessages messages_{test::RecordingMessages::Labels::EveryKind};
    std::unique_ptr<DesktopApp> app_;
};

QTreeWidget* branches(DialogPageWindow& page) {
    return page.findChild<QTreeWidget*>(QStringLiteral("CheckListBox1"));
}

} // namespace

TEST_F(ReportDialogs, AnsweredDateAndTickedBranchesReachTheReport) {
    const QString report = QStringLiteral("Остатки по филиалам на дату");
    QStringList seen;
    DialogPageDriver driver({[&](DialogPageWindow& page) {
        EXPECT_EQ(page.windowTitle(), report);
        EXPECT_EQ(page.size(), QSize(380, 300));
        // Every control named after the template and for a screen reader in Russian.
        for (const char* name : {"Label1", "DateEdit1", "Label2", "CheckListBox1", "Button1", "Button2"}) {
            auto* w = page.findChild<QWidget*>(QString::fromLatin1(name));
            ASSERT_TRUE(w) << name;
            seen << w->accessibleName();
        }
        auto* list = branches(page);
        ASSERT_EQ(list->topLevelItemCount(), 2);
        EXPECT_EQ(list->columnCount(), 2) << "keys beside the captions";
        EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("02"));
        EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Checked);
        auto* date = page.findChild<QLineEdit*>(QStringLiteral("DateEdit1"));
        EXPECT_EQ(date->text(), QStringLiteral("30.06.2005")) << "the last day with balances";
        date->selectAll();
        QTest::keyClicks(date, QStringLiteral("31012005"));
        list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        DialogPageDriver::pressDefault(page);
    }});
    run(report);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Остатки на дату"), QStringLiteral("Остатки на дату"),
                                 QStringLiteral("Филиалы"), QStringLiteral("Филиалы"), QStringLiteral("ОК"),
                                 QStringLiteral("Отмена")}));
    ASSERT_EQ(previews(), 1) << messages_.log.join(u'\n').toStdString();
    EXPECT_TRUE(previewHas(QStringLiteral("31 января 2005")));
    EXPECT_TRUE(previewHas(QStringLiteral("Север")));
    EXPECT_TRUE(previewHas(QStringLiteral("1 111,00")));
    EXPECT_FALSE(previewHas(QStringLiteral("Юг"))) << "the unticked branch is left out";
    EXPECT_TRUE(messages_.log.isEmpty()) << messages_.log.join(u'\n').toStdString();
}

TEST_F(ReportDialogs, TicksAreRememberedAndCancelShowsNothing) {
    const QString report = QStringLiteral("Остатки по филиалам на дату");
    Qt::CheckState second = Qt::Checked;
    DialogPageDriver driver({[](DialogPageWindow& page) {
                                 branches(page)->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
                                 DialogPageDriver::pressDefault(page);
                             },
                             [&](DialogPageWindow& page) {
                                 second = branches(page)->topLevelItem(1)->checkState(0);
                                 page.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
                             }});
    run(report);
    ASSERT_EQ(previews(), 1);
    run(report);
    EXPECT_EQ(driver.pagesSeen(), 2);
    EXPECT_EQ(second, Qt::Unchecked) << "the ticks of the last run of this report";
    EXPECT_EQ(previews(), 1) << "Cancel opens no preview";
    EXPECT_TRUE(messages_.log.isEmpty()) << "and shows no message";
}

TEST_F(ReportDialogs, ImpossibleDateIsRefusedAndTheButtonsWork) {
    bool stillOpen = false;
    QString date;
    DialogPageDriver driver({[&](DialogPageWindow& page) {
        auto* edit = page.findChild<QLineEdit*>(QStringLiteral("DateEdit1"));
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("31022006"));
        DialogPageDriver::pressDefault(page);
        stillOpen = page.isVisible();
        // "Ни одного" runs its script: every branch unticked.
        page.findChild<QPushButton*>(QStringLiteral("Button4"))->click();
        auto* list = branches(page);
        EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
        EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
        date = edit->text();
        page.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    }});
    run(QStringLiteral("Остатки по филиалам на дату"));
    EXPECT_TRUE(stillOpen) << "OK does not close the page on 31.02.2006";
    EXPECT_EQ(date, QStringLiteral("31.02.2006"));
    EXPECT_EQ(messages_.log, QStringList{QStringLiteral("plain: «31.02.2006» — неверная дата")});
    EXPECT_EQ(previews(), 0);
}

TEST_F(ReportDialogs, ScriptErrorNamesTheReportPageAndControl) {
    DialogPageDriver driver(
        {[](DialogPageWindow& page) { page.findChild<QPushButton*>(QStringLiteral("Button7"))->click(); }});
    run(QStringLiteral("Сломанный"));
    ASSERT_EQ(messages_.log.size(), 1);
    const QString& text = messages_.log.first();
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("error: Отчет «Сломанный», диалог «Dialog1», элемент «Button7»")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("nosuchfunction"))) << text.toStdString();
    EXPECT_EQ(previews(), 0);
}

// Saves PNG pictures of the desktop program's windows on a demo database, for a person to look at.
// The database and its packet folder are changed: run it on a copy (scripts/screenshots.sh does).
// Usage: svod-screenshots INI OUTDIR
#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "../support/FileDialogInput.h"
#include "app/DesktopApp.h"
#include "app/MainWindow.h"
#include "app/MessageConventions.h"
#include "app/ProgressDialog.h"
#include "app/ReceptionModeDialog.h"
#include "db/Connection.h"
#include "directory/Administration.h"
#include "reports/DialogPageWindow.h"
#include "widgets/DataGrid.h"
#include "windows/AdministrationWindow.h"
#include "windows/BranchDirectoryWindow.h"
#include "windows/DirectoryWindows.h"

using namespace svod::app;

namespace {

void save(QWidget* w, const QString& dir, const QString& name) {
    const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
    w->grab().save(path);
    std::printf("%s\n", qPrintable(path));
}

// Answers the modal windows of a reception, saving each kind once under `prefix`.
class ReceptionDriver {
public:
    ReceptionDriver(QString file, QString out, QString prefix)
        : file_(std::move(file)), out_(std::move(out)), prefix_(std::move(prefix)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
    }

private:
    void answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (qEnvironmentVariableIsSet("SVOD_SCREENSHOTS_TRACE") && modal != last_) {
            last_ = modal;
            std::fprintf(stderr, "modal: %s\n", modal->metaObject()->className());
        }
        if (modal->objectName() == QLatin1String("ProgressDialog")) {
            // Saved once the copy is under way: a text in the label and a moving bar.
            const auto* label = modal->findChild<QLabel*>(QStringLiteral("InfoLabel"));
            const auto* bar = modal->findChild<QProgressBar*>(QStringLiteral("ProgressBar"));
            const bool moving = label && !label->text().isEmpty() && bar && bar->value() > bar->minimum();
            if (!progressSaved_ && modal->isVisible() && moving) {
                save(modal, out_, prefix_ + QStringLiteral("-progress"));
                progressSaved_ = true;
            }
            return;
        }
        if (auto* mode = qobject_cast<ReceptionModeDialog*>(modal)) {
            mode->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            svod::test::typeFileName(*dialog, file_);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            save(box, out_, prefix_ + QStringLiteral("-message-%1").arg(++boxes_));
            box->defaultButton() ? box->defaultButton()->click() : box->accept();
        } else if (modal != unknown_) {
            unknown_ = modal;
            std::fprintf(stderr, "unanswered window: %s \"%s\"\n", modal->metaObject()->className(),
                         qPrintable(modal->windowTitle()));
        }
    }

    QString file_, out_, prefix_;
    QTimer timer_;
    int boxes_ = 0;
    QWidget* unknown_ = nullptr;
    QWidget* last_ = nullptr;
    bool progressSaved_ = false;
};

// Saves each report dialog page as it opens under `name`, then closes it with OK.
class ReportDialogDriver {
public:
    ReportDialogDriver(QString out, QString name) : out_(std::move(out)), name_(std::move(name)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
    }

private:
    void answer() {
        auto* page = qobject_cast<svod::reports::DialogPageWindow*>(QApplication::activeModalWidget());
        if (!page)
            return;
        save(page, out_, name_);
        for (auto* button : page->findChildren<QPushButton*>())
            if (button->isDefault())
                button->click();
    }

    QString out_;
    QString name_;
    QTimer timer_;
};

// The newest child window maximised inside the main window, then the main window saved.
void saveWithNewestChild(MainWindow& w, const QString& out, const QString& name) {
    const auto subs = w.mdiArea()->subWindowList();
    if (subs.isEmpty()) {
        std::fprintf(stderr, "no window for %s\n", qPrintable(name));
        return;
    }
    subs.last()->showMaximized();
    QApplication::processEvents();
    save(&w, out, name);
}

void closeChildren(MainWindow& w) {
    w.mdiArea()->closeAllSubWindows();
    QApplication::processEvents();
}

// The newest child window, frame and all, at the size it opened with.
void saveNewestChild(MainWindow& w, const QString& out, const QString& name) {
    QApplication::processEvents();
    const auto subs = w.mdiArea()->subWindowList(QMdiArea::CreationOrder);
    if (subs.isEmpty()) {
        std::fprintf(stderr, "no window for %s\n", qPrintable(name));
        return;
    }
    save(subs.last(), out, name);
}

// The branch directory's four views, the log detail and the administration pages.
void saveDirectoryWindows(DesktopApp& app, const QString& out) {
    MainWindow& w = app.mainWindow();
    // A few rows of the automatic reception service, one for a branch that is not listed.
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    app.connection().execute(QStringList{
        QStringLiteral("insert into LOG_ACCEPT (DD, STATUS, KODFIL, MES) values ('%1 09:15:00', 0, '01', "
                       "'Пакет A010105.dbf принят: 40 позиций, 1920 строк остатков')")
            .arg(today),
        QStringLiteral(
            "insert into LOG_ACCEPT (DD, STATUS, KODFIL, MES) values ('%1 10:40:00', 10, '02', "
            "'Не пройдена проверка данных:\nпозиция 0200000001: остаток на 31.01.2005 не совпадает "
            "с суммой оборотов (разница 125,40)\nпозиция 0200000007: нет строки остатка по плану 2')")
            .arg(today),
        QStringLiteral("insert into LOG_ACCEPT (DD, STATUS, KODFIL, MES) values ('%1 11:05:00', 40, '17', "
                       "'Архив B170105.zip поврежден')")
            .arg(today)});

    w.action(MainWindow::Command::Branches)->trigger();
    saveNewestChild(w, out, QStringLiteral("branch-list"));
    w.action(MainWindow::Command::Settings)->trigger();
    saveNewestChild(w, out, QStringLiteral("program-variables"));
    closeChildren(w);

    w.action(MainWindow::Command::DataCurrency)->trigger();
    saveNewestChild(w, out, QStringLiteral("data-actuality"));
    const auto subs = w.mdiArea()->subWindowList(QMdiArea::CreationOrder);
    if (auto* view = qobject_cast<svod::windows::BranchDirectoryWindow*>(subs.last()->widget())) {
        view->contextMenu()->popup(view->mapToGlobal(QPoint(120, 90)));
        QApplication::processEvents();
        save(view->contextMenu(), out, QStringLiteral("data-actuality-menu"));
        view->contextMenu()->hide();
    }
    closeChildren(w);

    w.action(MainWindow::Command::AutoReceptionLog)->trigger();
    saveNewestChild(w, out, QStringLiteral("reception-log"));
    if (auto* log = qobject_cast<svod::windows::BranchDirectoryWindow*>(
            w.mdiArea()->subWindowList(QMdiArea::CreationOrder).last()->widget())) {
        log->ApplyLOG();
        saveNewestChild(w, out, QStringLiteral("reception-log-rows"));
        const QString id = log->grid()->model()->index(1, 0).data(Qt::EditRole).toString();
        app.directoryWindows().showLogDetail(id);
        saveNewestChild(w, out, QStringLiteral("log-detail"));
    }
    closeChildren(w);

    w.action(MainWindow::Command::Administration)->trigger();
    saveNewestChild(w, out, QStringLiteral("administration"));
    auto* admin = qobject_cast<svod::windows::AdministrationWindow*>(
        w.mdiArea()->subWindowList(QMdiArea::CreationOrder).last()->widget());
    if (admin) {
        // The page codes are not shown anywhere; the picture is of the query page at work.
        admin->findChild<QLineEdit*>(QStringLiteral("Edit1"))
            ->setText(QString::number(svod::directory::QueryPageCode));
        admin->goToTypedPage();
        admin->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))
            ->setPlainText(
                QStringLiteral("select KOD, NAZVANIE, D_BEG, CHECK_TYPE\nfrom FILIALS order by KOD"));
        admin->execute();
        saveNewestChild(w, out, QStringLiteral("administration-query"));
    }
    closeChildren(w);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    if (argc < 3)
        return 64;
    const QString ini = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    MessageBoxes messages(nullptr);
    DesktopApp app(ini, messages, {});
    if (!app.start())
        return 1;
    MainWindow& w = app.mainWindow();
    messages.setParent(&w);
    w.resize(1100, 700);
    w.show();
    w.action(MainWindow::Command::Branches)->trigger();
    QApplication::processEvents();
    save(&w, out, QStringLiteral("main-window"));
    // The reports menu as built from REPORT.
    for (QAction* a : w.menuBar()->actions())
        if (a->menu() && a->text().remove(u'&') == QStringLiteral("Отчеты")) {
            a->menu()->popup(w.mapToGlobal(QPoint(90, 20)));
            QApplication::processEvents();
            save(a->menu(), out, QStringLiteral("reports-menu"));
            a->menu()->hide();
        }
    closeChildren(w);

    ReceptionModeDialog mode(false, &w);
    mode.show();
    QApplication::processEvents();
    save(&mode, out, QStringLiteral("reception-mode"));
    mode.hide();

    const QDir packets(app.inDir());
    const QStringList files = packets.entryList({QStringLiteral("A*.dbf")}, QDir::Files, QDir::Name);
    if (files.size() >= 2) {
        {
            ReceptionDriver driver(packets.filePath(files[0]), out, QStringLiteral("accepted"));
            w.action(QStringLiteral("N4"))->trigger();
        }
        // The balance-value check on: the next branch's first packet has no accepted history.
        app.connection().execute(
            QStringLiteral("update CLT set NVARVALUE = 1 where LABEL = 'CHECK_ZERO_BST'"));
        {
            ReceptionDriver driver(packets.filePath(files[1]), out, QStringLiteral("refused"));
            w.action(QStringLiteral("N4"))->trigger();
        }
        app.connection().execute(
            QStringLiteral("update CLT set NVARVALUE = 0 where LABEL = 'CHECK_ZERO_BST'"));
        saveWithNewestChild(w, out, QStringLiteral("refused-protocol"));
        closeChildren(w);
    } else {
        std::fprintf(stderr, "no sample packets in %s: reception pictures skipped\n",
                     qPrintable(packets.path()));
    }

    const auto runReport = [&](const QString& caption, const QString& name) {
        ReportDialogDriver driver(out, name + QStringLiteral("-dialog"));
        for (QAction* a : w.findChildren<QAction*>())
            if (a->objectName().startsWith(QStringLiteral("frr")) && a->text() == caption) {
                a->trigger();
                saveWithNewestChild(w, out, name);
                break;
            }
        closeChildren(w);
    };
    runReport(QStringLiteral("Остатки по филиалам на дату"), QStringLiteral("report-preview"));
    runReport(QStringLiteral("Остаточная стоимость по филиалам (диаграмма)"),
              QStringLiteral("chart-preview"));
    w.action(MainWindow::Command::ReportDesigner)->trigger();
    saveNewestChild(w, out, QStringLiteral("report-catalogue"));
    closeChildren(w);
    saveDirectoryWindows(app, out);
    app.close();
    return 0;
}

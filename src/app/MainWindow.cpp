#include "app/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProcess>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include "app/MessageConventions.h"
#include "app/WindowTabBar.h"
#include "db/Connection.h"
#include "db/Error.h"
#include "db/SqlHelpers.h"
#include "engine/StoredReports.h"
#include "help/HelpPages.h"
#include "help/HelpWindow.h"

namespace svod::app {

namespace {
// Stand-ins for the images of the menu's image list.
QIcon menuImage(const QWidget* w, int image) {
    switch (image) {
    case 6:
        return w->style()->standardIcon(QStyle::SP_FileIcon);
    case 7:
        return w->style()->standardIcon(QStyle::SP_DialogOpenButton);
    case 8:
        return w->style()->standardIcon(QStyle::SP_ArrowDown);
    case 15:
        return w->style()->standardIcon(QStyle::SP_TitleBarShadeButton);
    case 16:
        return w->style()->standardIcon(QStyle::SP_TitleBarUnshadeButton);
    case 17:
        return w->style()->standardIcon(QStyle::SP_TitleBarNormalButton);
    default:
        return {};
    }
}
} // namespace

MainWindow::MainWindow(Messages& messages, QWidget* parent)
    : QMainWindow(parent), messages_(messages), progress_(this) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(MainWindowCaption);
    resize(689, 499);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    mdiArea_ = new QMdiArea(central);
    mdiArea_->setObjectName(QStringLiteral("MdiArea"));
    mdiArea_->setBackground(palette().brush(QPalette::Dark));
    tabBar_ = new WindowTabBar(mdiArea_, central);
    layout->addWidget(mdiArea_, 1);
    layout->addWidget(tabBar_);
    setCentralWidget(central);

    statusPanel_ = new QLabel(this);
    statusPanel_->setObjectName(QStringLiteral("StatusPanel1"));
    statusPanel_->setMinimumWidth(300);
    providerPanel_ = new QLabel(this);
    providerPanel_->setObjectName(QStringLiteral("StatusPanel2"));
    providerPanel_->setMinimumWidth(50);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(statusPanel_, 1);
    statusBar()->addPermanentWidget(providerPanel_);

    buildMenu();
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this] { updateWindowCommands(); });
    updateWindowCommands();
}

MainWindow::~MainWindow() {
    // The MDI area outlives our members while QWidget tears the children down; it must not
    // call back into a half-destroyed window.
    for (QMdiSubWindow* w : mdiArea_->subWindowList())
        w->disconnect();
    mdiArea_->disconnect();
}

QAction* MainWindow::addItem(QMenu* menu, const QString& name, const QString& caption, int image) {
    if (caption == QLatin1String("-")) {
        QAction* separator = menu->addSeparator();
        separator->setObjectName(name);
        return separator;
    }
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    if (image >= 0)
        a->setIcon(menuImage(this, image));
    return a;
}

void MainWindow::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* program = bar->addMenu(QStringLiteral("Программа"));
    program->menuAction()->setObjectName(QStringLiteral("N1"));
    commands_[int(Command::ReceiveData)] =
        addItem(program, QStringLiteral("N4"), QStringLiteral("Прием данных"), 8);
    commands_[int(Command::ReceiveInflation)] =
        addItem(program, QStringLiteral("N17"), QStringLiteral("Прием данных по инфляции"));
    addItem(program, QStringLiteral("N18"), QStringLiteral("-"));
    commands_[int(Command::Branches)] =
        addItem(program, QStringLiteral("N10"), QStringLiteral("Список филиалов"));
    commands_[int(Command::DataCurrency)] =
        addItem(program, QStringLiteral("N13"), QStringLiteral("Актуальность данных"));
    commands_[int(Command::AutoReceptionLog)] =
        addItem(program, QStringLiteral("N21"), QStringLiteral("Протокол автоматического приема"));
    commands_[int(Command::Settings)] = addItem(program, QStringLiteral("N20"), QStringLiteral("Настройки"));
    addItem(program, QStringLiteral("N14"), QStringLiteral("-"));
    commands_[int(Command::OpenReport)] =
        addItem(program, QStringLiteral("N15"), QStringLiteral("Открыть отчет"), 7);
    addItem(program, QStringLiteral("N3"), QStringLiteral("-"));
    QAction* exit = addItem(program, QStringLiteral("N2"), QStringLiteral("Выход"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    reportsMenu_ = bar->addMenu(QStringLiteral("Отчеты"));
    reportsMenu_->menuAction()->setObjectName(QStringLiteral("N5"));

    QMenu* service = bar->addMenu(QStringLiteral("Сервис"));
    service->menuAction()->setObjectName(QStringLiteral("N6"));
    commands_[int(Command::ReportDesigner)] =
        addItem(service, QStringLiteral("N7"), QStringLiteral("Дизайнер отчетов"));
    commands_[int(Command::Administration)] =
        addItem(service, QStringLiteral("N19"), QStringLiteral("Управление"));

    QMenu* windows = bar->addMenu(QStringLiteral("Окна"));
    windows->menuAction()->setObjectName(QStringLiteral("N11"));
    QAction* closeCurrent =
        addItem(windows, QStringLiteral("Close1"), QStringLiteral("Закрыть текущее окно"));
    addItem(windows, QStringLiteral("N12"), QStringLiteral("-"));
    QAction* cascade = addItem(windows, QStringLiteral("Cascade1"), QStringLiteral("Упорядочить"), 17);
    QAction* tileH = addItem(windows, QStringLiteral("TileHorizontally1"),
                             QStringLiteral("Расположить горизонтально"), 15);
    QAction* tileV =
        addItem(windows, QStringLiteral("TileVertically1"), QStringLiteral("Расположить вертикально"), 16);
    QAction* minimizeAll = addItem(windows, QStringLiteral("MinimizeAll1"), QStringLiteral("Свернуть все"));
    windowCommands_ = {closeCurrent, cascade, tileH, tileV, minimizeAll};
    connect(closeCurrent, &QAction::triggered, mdiArea_, &QMdiArea::closeActiveSubWindow);
    connect(cascade, &QAction::triggered, mdiArea_, &QMdiArea::cascadeSubWindows);
    connect(tileH, &QAction::triggered, this, [this] { tile(Qt::Vertical); });
    connect(tileV, &QAction::triggered, this, [this] { tile(Qt::Horizontal); });
    connect(minimizeAll, &QAction::triggered, this, [this] {
        for (QMdiSubWindow* w : mdiArea_->subWindowList())
            w->showMinimized();
    });
    connect(windows, &QMenu::aboutToShow, this, [this] { updateWindowCommands(); });

    QMenu* help = bar->addMenu(QStringLiteral("Помощь"));
    help->menuAction()->setObjectName(QStringLiteral("N8"));
    QAction* contents = addItem(help, QStringLiteral("N16"), QStringLiteral("Справка"));
    QAction* about = addItem(help, QStringLiteral("N9"), QStringLiteral("О программе"));
    connect(contents, &QAction::triggered, this, [this] { openHelp(); });
    connect(about, &QAction::triggered, this, [this] {
        messages_.plain(QStringLiteral("Сводные отчеты по филиалам \"Тальвер\" Версия 1.29"));
    });
}

QAction* MainWindow::action(const QString& name) const {
    const auto actions = findChildren<QAction*>(name);
    if (!actions.isEmpty())
        return actions.front();
    for (QAction* a : menuBar()->actions())
        if (a->objectName() == name)
            return a;
    return nullptr;
}

void MainWindow::runGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const Error& e) {
        messages_.error(e.message());
    } catch (const std::exception& e) {
        messages_.error(QString::fromLocal8Bit(e.what()));
    }
}

void MainWindow::setCommand(Command command, std::function<void()> handler) {
    QAction* a = action(command);
    a->disconnect(this);
    connect(a, &QAction::triggered, this, [this, handler = std::move(handler)] { runGuarded(handler); });
}

void MainWindow::setReportCommand(std::function<void(const QString&)> handler) {
    reportCommand_ = std::move(handler);
}

QAction* MainWindow::addReportItem(const QString& id, const QString& name) {
    QAction* item = reportsMenu_->addAction(menuImage(this, 6), name);
    item->setObjectName(QStringLiteral("frr") + id);
    // The hint holds the ID: shown in the status bar and the key of the run.
    item->setStatusTip(id);
    item->setToolTip(id);
    connect(item, &QAction::triggered, this, [this, item] {
        runGuarded([this, item] {
            if (reportCommand_)
                reportCommand_(item->statusTip());
        });
    });
    return item;
}

void MainWindow::loadReportsMenu(db::Connection* connection) {
    if (!connection || !connection->isOpen())
        return;
    QList<engine::StoredReportEntry> reports;
    try {
        reports = engine::listStoredReports(*connection);
    } catch (const Error&) {
        hideMenu();
        return;
    }
    for (const auto& report : reports)
        addReportItem(report.id, report.name);
}

void MainWindow::hideMenu() {
    static const QStringList kept = {QStringLiteral("N1"), QStringLiteral("N4"), QStringLiteral("N2")};
    for (QAction* a : findChildren<QAction*>())
        if (!a->objectName().isEmpty() && !kept.contains(a->objectName()))
            a->setVisible(false);
    for (QAction* a : menuBar()->actions())
        if (!kept.contains(a->objectName()))
            a->setVisible(false);
    for (QMenu* m : menuBar()->findChildren<QMenu*>())
        for (QAction* a : m->actions())
            if (!kept.contains(a->objectName()))
                a->setVisible(false);
}

QMdiSubWindow* MainWindow::addChildWindow(QWidget* widget, ChildSize size) {
    widget->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow* sub = mdiArea_->addSubWindow(widget);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    connect(sub, &QObject::destroyed, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { updateWindowCommands(); }, Qt::QueuedConnection);
    });
    sub->show();
    if (size == ChildSize::FillWorkspace)
        sub->setGeometry(mdiArea_->viewport()->rect());
    updateWindowCommands();
    return sub;
}

void MainWindow::updateWindowCommands() {
    const bool any = !mdiArea_->subWindowList().isEmpty();
    for (QAction* a : windowCommands_)
        a->setEnabled(any);
}

void MainWindow::tile(Qt::Orientation orientation) {
    const auto windows = mdiArea_->subWindowList();
    if (windows.isEmpty())
        return;
    const QRect area = mdiArea_->viewport()->rect();
    const int n = static_cast<int>(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        w->showNormal();
        if (orientation == Qt::Vertical) {
            const int h = area.height() / n;
            w->setGeometry(0, i * h, area.width(), h);
        } else {
            const int wd = area.width() / n;
            w->setGeometry(i * wd, 0, wd, area.height());
        }
    }
}

void MainWindow::setStatusText(const QString& text) {
    statusPanel_->setText(text);
    statusPanel_->repaint();
}

QString MainWindow::statusText() const {
    return statusPanel_->text();
}

void MainWindow::setProviderText(const QString& text) {
    providerPanel_->setText(text);
}

QString MainWindow::providerText() const {
    return providerPanel_->text();
}

QString MainWindow::helpCommandLine(const QString& executableDir) {
    return QStringLiteral("hh.exe mk:@MSITStore:") + NormalDir(executableDir, u'\\') +
           QStringLiteral("svod_mu.chm");
}

void MainWindow::openHelp() {
#ifdef Q_OS_WIN
    // The compiled help, where it is installed, opens in the system's viewer; the file is the
    // viewer's one argument (a path with spaces stays one argument).
    const QString dir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (QFileInfo::exists(QDir(dir).filePath(QStringLiteral("svod_mu.chm")))) {
        const help::HelpCommand command = help::helpViewerCommand(dir);
        if (QProcess::startDetached(command.program, command.arguments))
            return;
    }
#endif
    help::showHelp(helpPageFor(mdiArea_->activeSubWindow()), this);
}

QString MainWindow::helpPageFor(const QMdiSubWindow* window) {
    // The page of the active window's kind (the branch directory window by its view's caption);
    // the contents otherwise.
    static const QHash<QString, QString> pages = {
        {QStringLiteral("PreviewWindow"), QStringLiteral("preview.html")},
        {QStringLiteral("Form2"), QStringLiteral("designer.html")},
        {QStringLiteral("Form4"), QStringLiteral("administration.html")},
        {QStringLiteral("Form5"), QStringLiteral("reception-log.html")},
        {QStringLiteral("Список филиалов"), QStringLiteral("branches.html")},
        {QStringLiteral("Актуальность данных по филиалам"), QStringLiteral("actuality.html")},
        {QStringLiteral("Переменные программы"), QStringLiteral("variables.html")},
        {QStringLiteral("Протокол работы автоматического приема"), QStringLiteral("reception-log.html")},
    };
    const QWidget* widget = window ? window->widget() : nullptr;
    if (!widget)
        return QStringLiteral("index.html");
    if (widget->objectName() == QLatin1String("Form3"))
        return pages.value(widget->windowTitle(), QStringLiteral("index.html"));
    return pages.value(widget->objectName(), QStringLiteral("index.html"));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Q_EMIT closing();
    QMainWindow::closeEvent(event);
}

} // namespace svod::app

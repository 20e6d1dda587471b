#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>

#include "app/ProgressDialog.h"

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace svod::db {
class Connection;
}

namespace svod::app {

class Messages;
class WindowTabBar;

// The MDI frame: the main menu with every command, the child windows, the window tab bar and
// the status bar. Menu items carry their component names as objectName ("N4", "Cascade1").
// Commands whose windows live elsewhere are reached through setCommand().
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    // The menu commands whose work lives outside the window.
    enum class Command {
        ReceiveData,      // "Прием данных"
        ReceiveInflation, // "Прием данных по инфляции"
        Branches,         // "Список филиалов"
        DataCurrency,     // "Актуальность данных"
        AutoReceptionLog, // "Протокол автоматического приема"
        Settings,         // "Настройки"
        OpenReport,       // "Открыть отчет"
        ReportDesigner,   // "Дизайнер отчетов"
        Administration,   // "Управление"
    };
    static constexpr int CommandCount = int(Command::Administration) + 1;

    explicit MainWindow(Messages& messages, QWidget* parent = nullptr);
    ~MainWindow() override;

    QMdiArea* mdiArea() const { return mdiArea_; }
    ProgressDialog& progress() { return progress_; }
    Messages& messages() { return messages_; }

    // The action of a menu item by its component name, or null.
    QAction* action(const QString& name) const;
    QAction* action(Command command) const { return commands_[int(command)]; }
    QMenu* reportsMenu() const { return reportsMenu_; }
    // Runs `handler` when the command is chosen; errors it raises are shown by the default error
    // display and leave the window as it was.
    void setCommand(Command command, std::function<void()> handler);
    // Runs a stored report by the ID its menu item holds.
    void setReportCommand(std::function<void(const QString& id)> handler);

    // Fills "Отчеты" from REPORT; reduces the menu when the list cannot be read.
    void loadReportsMenu(db::Connection* connection);
    // Appends one report item (also used by the catalogue's import).
    QAction* addReportItem(const QString& id, const QString& name);
    // Leaves only "Программа" with "Прием данных" and "Выход".
    void hideMenu();

    // Opens a widget as a child window that frees itself when closed.
    // FillWorkspace: as large as the workspace (previews show a whole page width at once).
    enum class ChildSize { Own, FillWorkspace };
    QMdiSubWindow* addChildWindow(QWidget* widget, ChildSize size = ChildSize::Own);

    void setStatusText(const QString& text);
    QString statusText() const;
    void setProviderText(const QString& text);
    QString providerText() const;

    // "hh.exe mk:@MSITStore:<dir>svod_mu.chm" for a directory written the Windows way.
    static QString helpCommandLine(const QString& executableDir);
    // "Справка": the help window at the page of the active child window (the viewer of the
    // compiled help on Windows, where it is installed).
    void openHelp();
    static QString helpPageFor(const QMdiSubWindow* window);

Q_SIGNALS:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption, int image = -1);
    void buildMenu();
    void runGuarded(const std::function<void()>& handler);
    void updateWindowCommands();
    void tile(Qt::Orientation orientation);

    Messages& messages_;
    QMdiArea* mdiArea_ = nullptr;
    WindowTabBar* tabBar_ = nullptr;
    QMenu* reportsMenu_ = nullptr;
    QLabel* statusPanel_ = nullptr;
    QLabel* providerPanel_ = nullptr;
    ProgressDialog progress_;
    std::function<void(const QString&)> reportCommand_;
    QList<QAction*> windowCommands_;
    std::array<QAction*, CommandCount> commands_{};
};

} // namespace svod::app

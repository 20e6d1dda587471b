#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "app/LoginDialog.h"
#include "db/AppConfig.h"
#include "engine/TableData.h"

namespace svod::db {
class Connection;
}

namespace svod::engine {
class Report;
}

namespace svod::reports {
class DialogWindowRunner;
class PreviewDocument;
} // namespace svod::reports

class QMdiSubWindow;

namespace svod::reception {
class InflationReception;
class ReceptionService;
} // namespace svod::reception

namespace svod::windows {
class DirectoryWindows;
}

namespace svod::app {

class DesktopCatalogueDialogs;
class GuiInteraction;
class MainWindow;
class Messages;

// The start-up and close sequences around the main window and the one connection.
class DesktopApp {
public:
    using LoginPrompt =
        std::function<std::optional<Credentials>(const QString& database, const QString& user)>;

    // `messages` shows what start-up tells the user; `login` asks for a user name and password.
    DesktopApp(QString iniPath, Messages& messages, LoginPrompt login);
    ~DesktopApp();

    // Creates the main window, reads the configuration, opens the connection and fills the
    // reports menu. False when the connection could not be opened: the program is to end.
    bool start();
    // Writes in_dir back and closes the connection (the main window's close).
    void close();

    MainWindow& mainWindow() { return *window_; }
    db::Connection& connection() { return *connection_; }
    const AppConfig& config() const { return config_; }
    QString& inDir() { return inDir_; }
    QString tablesOwnerPrefix() const { return config_.tablesOwnerPrefix(); }
    reception::ReceptionService& reception() { return *reception_; }
    GuiInteraction& interaction() { return *interaction_; }
    // How protocols of the checks are shown (a preview child window by default).
    void setProtocolViewer(std::function<void(const QList<engine::TableData>&)> viewer);
    // "Прием данных": the reception command with the desktop's dialogs.
    void receiveData();
    // "Прием данных по инфляции".
    void receiveInflation();
    // "Открыть отчет": a prepared report file in a preview window.
    void openPreparedReport();
    // A report item of the "Отчеты" menu: the stored report `idText` run into a preview window.
    void runStoredReport(const QString& idText);
    // "Дизайнер отчетов": a new report catalogue window.
    QWidget* openReportCatalogue();
    // Replaces the designer DesignReport opens (tests).
    void setReportDesigner(std::function<void(engine::Report&)> designer) { designer_ = std::move(designer); }
    // A preview child window filling the workspace; `withLoader` adds the button that opens a
    // prepared report file in it.
    QMdiSubWindow* showPreview(std::unique_ptr<reports::PreviewDocument> document, const QString& title,
                               bool withLoader);
    // DesignReport on the shared report object: the designer on its template, returning when it closes.
    void designReport();
    // svod --design FILE: the template file loaded into the shared report object, then designed.
    void designFile(const QString& path);
    // The shared report object: whatever was run or loaded last.
    engine::Report& report() { return *report_; }
    // The branch directory, log detail and administration windows.
    windows::DirectoryWindows& directoryWindows() { return *directory_; }

    // Whether start-up asked for a login.
    bool loginAsked() const { return loginAsked_; }

private:
    bool openConnection();
    void wireCommands();

    QString iniPath_;
    Messages& messages_;
    LoginPrompt login_;
    AppConfig config_;
    QString inDir_;
    QString zoomAtStart_;
    bool loginAsked_ = false;
    bool closed_ = false;
    std::unique_ptr<db::Connection> connection_;
    std::unique_ptr<MainWindow> window_;
    std::function<void(const QList<engine::TableData>&)> protocolViewer_;
    std::unique_ptr<GuiInteraction> interaction_;
    std::unique_ptr<reception::ReceptionService> reception_;
    std::unique_ptr<reception::InflationReception> inflation_;
    std::unique_ptr<reports::DialogWindowRunner> dialogRunner_;
    std::unique_ptr<engine::Report> report_;
    std::unique_ptr<DesktopCatalogueDialogs> catalogueDialogs_;
    std::function<void(engine::Report&)> designer_;
    std::unique_ptr<windows::DirectoryWindows> directory_;
};

// Sets the process-wide date and number formats, and the language of Qt's own texts.
void applyProcessFormats();
// Loads Qt's Russian translations once, when the system has them, and the few texts they lack.
void installQtTranslations();
// Russian dates in Qt's own dialogs: called before the application object is made.
void useRussianDatesInQtDialogs();

} // namespace svod::app

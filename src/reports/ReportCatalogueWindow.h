#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace svod::db {
class Connection;
}
namespace svod::engine {
class Report;
}

namespace svod::widgets {
class DataGrid;
}

namespace svod::reports {

class RecordNavigator;
class ReportTableModel;

// What the catalogue asks the user; the desktop shows dialogs and message boxes, tests answer
// from a script.
class CatalogueDialogs {
public:
    virtual ~CatalogueDialogs() = default;
    // The open-file dialog with the template filter, starting in `folder` (empty: wherever the
    // dialog was last). An empty result means the user cancelled.
    virtual QString openTemplateFile(const QString& folder) = 0;
    // The save dialog: template filter, ".frf" added, a question before overwriting.
    virtual QString saveTemplateFile(const QString& folder, const QString& proposedName) = 0;
    // A folder chooser showing `text`, nothing preselected.
    virtual QString chooseFolder(const QString& text) = 0;
    virtual bool confirm(const QString& text) = 0;  // question, OK / Cancel
    virtual bool askYesNo(const QString& text) = 0; // question, Yes / No
    virtual void inform(const QString& text) = 0;
    virtual void showError(const QString& text) = 0;
};

// The folder of report templates: REPORTS beside the executable, created when missing; when that
// folder cannot be written (an installed program), REPORTS in the user's data folder.
QString reportsFolder(const QString& executableDir, const QString& userDataDir);

// "Отчеты": the stored templates in an editable grid, and the commands that move templates
// between the shared report object, files and the server. Several may be open; all of them act
// on the program's one report object.
class ReportCatalogueWindow final : public QWidget {
    Q_OBJECT
public:
    struct Services {
        db::Connection* connection = nullptr;
        engine::Report* report = nullptr;
        CatalogueDialogs* dialogs = nullptr;
        QString reportsFolder;
        // DesignReport: the designer on the shared object, returning when it closes.
        std::function<void()> designReport;
        // A report added by the automatic import: its item joins the reports menu at once.
        std::function<void(const QString& id, const QString& name)> reportAdded;
    };

    explicit ReportCatalogueWindow(Services services, QWidget* parent = nullptr);
    ~ReportCatalogueWindow() override;

    static constexpr const char* NotLoadedText = "<отчет не загружен>";

    QString templateLabelText() const;
    ReportTableModel& model() { return *model_; }
    widgets::DataGrid* grid() const { return grid_; }
    int currentRow() const;
    void setCurrentRow(int row);

    // The commands of the button column, in its order.
    void createNew();
    void openFromFile();
    void saveToFile();
    void saveAllToFiles();
    void loadFromServer();
    void saveOnServer();
    void editCurrent();
    void importFromFile();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* addButton(const QString& objectName, const QString& caption);
    void buildLayout();
    void openTable();
    void runGuarded(const std::function<void()>& command);
    void onNavigator(int command);
    void updateCommands();
    void setTemplateLabel(const QString& text);
    QString defaultTemplateName() const;
    void clearForDesign();

    Services services_;
    ReportTableModel* model_ = nullptr;
    widgets::DataGrid* grid_ = nullptr;
    RecordNavigator* navigator_ = nullptr;
    QLabel* templateLabel_ = nullptr;
    // Where the open-file dialog starts: set only by "Открыть из файла".
    QString openDialogFolder_;
};

} // namespace svod::reports

#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "windows/WindowTypes.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QMenu;
class QPushButton;
class QStackedLayout;
class QStatusBar;

namespace svod::directory {
class EditableTable;
class QueryTable;
} // namespace svod::directory

namespace svod::widgets {
class DataGrid;
}

namespace svod::windows {

// The branch-directory window: one class, four views chosen by the command that opens it (the
// branch list, the data actuality, the program variables, the reception log).
class BranchDirectoryWindow : public QWidget {
    Q_OBJECT
public:
    BranchDirectoryWindow(db::Connection& connection, reception::Interaction& interaction,
                          ErrorDisplay showError, QWidget* parent = nullptr);
    ~BranchDirectoryWindow() override;

    // Sets the window up for a view; a failure is shown and the window keeps what was set up.
    void RunFILIALS();
    void RunAKT();
    void RunCLT();
    void RunLOG();
    void run(DirectoryView view);
    DirectoryView view() const { return view_; }

    // "Применить" of the reception log view.
    void ApplyLOG();
    // "Удалить данные по филиалу" on the current row of the data actuality view.
    void deleteCurrentBranchData();
    // A double click in the reception log view opens the row's detail through this.
    void setDetailOpener(std::function<void(const QString& id)> opener) { openDetail_ = std::move(opener); }

    widgets::DataGrid* grid() const { return grid_; }
    QMenu* contextMenu() const { return contextMenu_; }
    QString panelText() const;
    bool gridShown() const;

protected:
    // A row still in edit state is posted first; when that fails the window stays open with it.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildFilterBar();
    void SetupLOG();
    void LOGClick(int row);
    // Runs `read` with the hourglass and the grid hidden; shows a failure.
    bool readWithWaitPanel(const std::function<void()>& read);
    void showGrid(bool shown);
    void showError(const QString& message);
    void updateStatus();
    void showEditable(directory::EditableTable* table, const QString& caption);

    db::Connection& connection_;
    reception::Interaction& interaction_;
    ErrorDisplay showError_;
    DirectoryView view_ = DirectoryView::Filials;

    QWidget* filterBar_ = nullptr;
    QDateEdit* fromPicker_ = nullptr;
    QDateEdit* toPicker_ = nullptr;
    QComboBox* branchList_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QStringList branchCodes_;
    QLabel* panel_ = nullptr;
    QStackedLayout* clientLayout_ = nullptr;
    widgets::DataGrid* grid_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    QMenu* contextMenu_ = nullptr;

    std::unique_ptr<directory::EditableTable> table_;
    std::unique_ptr<directory::QueryTable> query_;
    std::function<void(const QString&)> openDetail_;
};

} // namespace svod::windows

#pragma once

#include <QPointer>
#include <QString>
#include <functional>

#include "windows/LogDetailWindow.h"
#include "windows/WindowTypes.h"

class QMdiSubWindow;
class QWidget;

namespace svod::windows {

class BranchDirectoryWindow;
class AdministrationWindow;

// Opens the branch-directory, log detail and administration windows as child windows of the
// main window: a new window for every command, one log detail window shared by all log views.
class DirectoryWindows {
public:
    using AddChild = std::function<QMdiSubWindow*(QWidget* window)>;

    DirectoryWindows(db::Connection& connection, reception::Interaction& interaction, ErrorDisplay showError,
                     AddChild addChild);

    // "Список филиалов", "Актуальность данных", "Настройки", "Протокол автоматического приема".
    BranchDirectoryWindow* open(DirectoryView view);
    // "Сервис" → "Управление".
    AdministrationWindow* openAdministration();
    // The shared detail window showing the log row `id`, created when there is none.
    LogDetailWindow* showLogDetail(const QString& id);
    LogDetailWindow* logDetail() const { return detail_; }

private:
    db::Connection& connection_;
    reception::Interaction& interaction_;
    ErrorDisplay showError_;
    AddChild addChild_;
    QPointer<LogDetailWindow> detail_;
};

} // namespace svod::windows

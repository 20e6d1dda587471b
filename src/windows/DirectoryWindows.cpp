#include "windows/DirectoryWindows.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "windows/AdministrationWindow.h"
#include "windows/BranchDirectoryWindow.h"
#include "windows/LogDetailWindow.h"

namespace svod::windows {

DirectoryWindows::DirectoryWindows(db::Connection& connection, reception::Interaction& interaction,
                                   ErrorDisplay showError, AddChild addChild)
    : connection_(connection), interaction_(interaction), showError_(std::move(showError)),
      addChild_(std::move(addChild)) {}

namespace {
// The child window at the size the window asks for.
void fitFrame(QMdiSubWindow* frame, QWidget* window, const QSize& size) {
    if (!frame)
        return;
    frame->resize(size + (frame->size() - window->size()).expandedTo(QSize(0, 0)));
}
} // namespace

BranchDirectoryWindow* DirectoryWindows::open(DirectoryView view) {
    auto* window = new BranchDirectoryWindow(connection_, interaction_, showError_);
    window->setDetailOpener([this](const QString& id) { showLogDetail(id); });
    const QSize size = window->size();
    // The view is set up before the window is shown.
    window->run(view);
    fitFrame(addChild_ ? addChild_(window) : nullptr, window, size);
    return window;
}

AdministrationWindow* DirectoryWindows::openAdministration() {
    auto* window = new AdministrationWindow(connection_, interaction_, showError_);
    const QSize size = window->size();
    fitFrame(addChild_ ? addChild_(window) : nullptr, window, size);
    return window;
}

LogDetailWindow* DirectoryWindows::showLogDetail(const QString& id) {
    if (!detail_) {
        detail_ = new LogDetailWindow(connection_, interaction_, showError_);
        const QSize size = detail_->size();
        detail_->ViewID(id);
        fitFrame(addChild_ ? addChild_(detail_) : nullptr, detail_, size);
        return detail_;
    }
    detail_->ViewID(id);
    if (auto* frame = qobject_cast<QMdiSubWindow*>(detail_->parentWidget())) {
        frame->showNormal();
        frame->raise();
        if (frame->mdiArea())
            frame->mdiArea()->setActiveSubWindow(frame);
    }
    return detail_;
}

} // namespace svod::windows

#pragma once

#include <QTabBar>

class QMdiArea;
class QMdiSubWindow;

namespace svod::app {

// One tab per open child window, kept in step with the MDI area; a click activates the window.
class WindowTabBar final : public QTabBar {
    Q_OBJECT
public:
    WindowTabBar(QMdiArea* area, QWidget* parent);

private:
    void rebuild();
    QMdiArea* area_;
    bool updating_ = false;
};

} // namespace svod::app

#include "app/WindowTabBar.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QToolButton>

namespace svod::app {

WindowTabBar::WindowTabBar(QMdiArea* area, QWidget* parent) : QTabBar(parent), area_(area) {
    setObjectName(QStringLiteral("WindowTabBar1"));
    setDocumentMode(true);
    setExpanding(false);
    setDrawBase(false);
    setFixedHeight(29);
    setIconSize(QSize(16, 16));
    // Qt names its scroll buttons in English ("Scroll Left") and its Russian catalogue lacks them.
    for (const auto& [name, text] : {std::pair{"ScrollLeftButton", "Прокрутить влево"},
                                     std::pair{"ScrollRightButton", "Прокрутить вправо"}})
        if (auto* button = findChild<QToolButton*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly)) {
            button->setAccessibleName(QString::fromUtf8(text));
            button->setToolTip(QString::fromUtf8(text));
        }
    connect(area_, &QMdiArea::subWindowActivated, this, [this] { rebuild(); });
    connect(this, &QTabBar::currentChanged, this, [this](int index) {
        if (updating_ || index < 0)
            return;
        const auto windows = area_->subWindowList(QMdiArea::CreationOrder);
        if (index < windows.size())
            area_->setActiveSubWindow(windows[index]);
    });
    rebuild();
}

void WindowTabBar::rebuild() {
    auto windows = area_->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* w : windows) {
        if (w->property("svodTabTracked").toBool())
            continue;
        w->setProperty("svodTabTracked", true);
        // Closing the last window activates nothing; follow the windows themselves.
        connect(w, &QObject::destroyed, this, [this] { QTimer::singleShot(0, this, [this] { rebuild(); }); });
        connect(w, &QWidget::windowTitleChanged, this, [this] { rebuild(); });
    }
    updating_ = true;
    while (count() > windows.size())
        removeTab(count() - 1);
    for (int i = 0; i < windows.size(); ++i) {
        const QString title = windows[i]->windowTitle();
        if (i >= count())
            addTab(title);
        else if (tabText(i) != title)
            setTabText(i, title);
    }
    const int active = windows.indexOf(area_->activeSubWindow());
    if (active >= 0)
        setCurrentIndex(active);
    updating_ = false;
    setVisible(!windows.isEmpty());
}

} // namespace svod::app

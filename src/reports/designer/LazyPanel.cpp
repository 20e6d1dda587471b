#include "reports/designer/LazyPanel.h"

#include <QVBoxLayout>

namespace svod::reports::designer {

LazyPanel::LazyPanel(std::function<QWidget*()> build, QWidget* parent)
    : QWidget(parent), build_(std::move(build)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QWidget* LazyPanel::content() {
    if (!content_) {
        content_ = build_();
        build_ = nullptr;
        layout()->addWidget(content_);
        setFocusProxy(content_);
        if (isVisible())
            content_->show(); // at once, not when the layout gets to it
    }
    return content_;
}

void LazyPanel::buildIfInSight() {
    // A dock behind a tab stays "visible", moved out of the window.
    if (!content_ && isVisible() && !visibleRegion().isEmpty())
        content();
}

void LazyPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    buildIfInSight();
}

} // namespace svod::reports::designer

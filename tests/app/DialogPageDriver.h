#pragma once

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "reports/DialogPageWindow.h"

namespace svod::test {

// Acts on report dialog pages as they open, one step per page in order; a page past the steps
// is closed with its default (OK) button.
class DialogPageDriver {
public:
    using Step = std::function<void(reports::DialogPageWindow&)>;
    explicit DialogPageDriver(QList<Step> steps = {}) : steps_(std::move(steps)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    int pagesSeen() const { return seen_; }

    static void pressDefault(reports::DialogPageWindow& page) {
        for (auto* button : page.findChildren<QPushButton*>())
            if (button->isDefault()) {
                button->click();
                return;
            }
    }

private:
    void poll() {
        auto* page = qobject_cast<reports::DialogPageWindow*>(QApplication::activeModalWidget());
        if (!page || page == current_)
            return;
        current_ = page;
        const int step = seen_++;
        if (step < steps_.size())
            steps_[step](*page);
        else
            pressDefault(*page);
    }

    QList<Step> steps_;
    QTimer timer_;
    QPointer<reports::DialogPageWindow> current_;
    int seen_ = 0;
};

} // namespace svod::test

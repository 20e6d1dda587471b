#pragma once

#include <QWidget>
#include <functional>

namespace svod::reports::designer {

// Holds a panel that is built the first time it is shown or asked for, so that the designer opens
// without building what sits behind tabs.
class LazyPanel final : public QWidget {
public:
    explicit LazyPanel(std::function<QWidget*()> build, QWidget* parent = nullptr);

    QWidget* content();
    bool isBuilt() const { return content_ != nullptr; }
    // Builds the panel when part of it is on the screen (a dock's tab chosen, say).
    void buildIfInSight();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<QWidget*()> build_;
    QWidget* content_ = nullptr;
};

} // namespace svod::reports::designer

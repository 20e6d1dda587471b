#pragma once

#include <QPlainTextEdit>
#include <functional>

namespace svod::reports::designer {

// The text of an object edited where it stands on the page. Enter (or leaving the field) commits,
// Shift+Enter starts a new line, Esc cancels; either way the editor goes away.
class InPlaceEditor final : public QPlainTextEdit {
    Q_OBJECT
public:
    InPlaceEditor(const QString& text, QWidget* parent);
    // Called once with the text when committed; never when cancelled.
    void onCommit(std::function<void(const QString&)> commit) { commit_ = std::move(commit); }
    void commit();
    void cancel();

Q_SIGNALS:
    void finished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void finish();
    std::function<void(const QString&)> commit_;
    bool done_ = false;
};

} // namespace svod::reports::designer

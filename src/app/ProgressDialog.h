#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>

class QLabel;
class QProgressBar;

namespace svod::app {

// The progress dialog of long operations. Its state lives as long as the program; the window
// exists only while execute() runs. The operation runs inside the dialog's modal loop once the
// window is painted; an error it raises is kept and raised again, unchanged, after the window is
// gone. "Отмена" only sets the cancel flag, which the operation polls.
class ProgressDialog {
public:
    enum Index { Minimum = 0, Maximum = 1, Step = 2, Position = 3 };

    explicit ProgressDialog(QWidget* owner);
    ~ProgressDialog();

    void setCaption(const QString& caption);
    void setInfoLabel(const QString& text);
    // Stores the value; when the window exists, applies all four values to the bar.
    void setProgress(int index, int value);
    // Advances the bar by its step when the window exists; the stored position stays.
    void progressStepIt();
    int position() const { return values_[Position]; }
    int value(int index) const { return values_[static_cast<size_t>(index)]; }
    bool cancelled() const { return cancelled_; }
    const QString& caption() const { return caption_; }
    const QString& infoText() const { return info_; }
    // The window while execute() runs, else null.
    QDialog* window() const { return window_; }
    // Shown by the label (may differ from the stored values while the window exists).
    int barValue() const;

    // Runs the operation inside the modal dialog; re-raises its error.
    void execute(const std::function<void()>& operation);

private:
    void applyValues();

    QWidget* owner_;
    QString caption_ = QStringLiteral("Подождите...");
    QString info_ = QStringLiteral(" ");
    std::array<int, 4> values_{0, 0, 0, 0};
    bool cancelled_ = false;
    QPointer<QDialog> window_;
    QPointer<QLabel> label_;
    QPointer<QProgressBar> bar_;
};

} // namespace svod::app

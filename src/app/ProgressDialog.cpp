#include "app/ProgressDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <exception>
#include <memory>

namespace svod::app {

namespace {
// Neither Esc nor the close button ends the loop in which the operation runs.
class ProgressWindow final : public QDialog {
public:
    using QDialog::QDialog;
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};
} // namespace

ProgressDialog::ProgressDialog(QWidget* owner) : owner_(owner) {}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::setCaption(const QString& caption) {
    caption_ = caption;
    if (window_)
        window_->setWindowTitle(caption_);
}

void ProgressDialog::setInfoLabel(const QString& text) {
    info_ = text;
    if (label_)
        label_->setText(info_);
}

void ProgressDialog::setProgress(int index, int value) {
    if (index < 0 || index > 3)
        return;
    values_[static_cast<size_t>(index)] = value;
    applyValues();
}

void ProgressDialog::applyValues() {
    if (!bar_)
        return;
    bar_->setMinimum(values_[Minimum]);
    bar_->setMaximum(std::max(values_[Minimum], values_[Maximum]));
    bar_->setValue(values_[Position]);
}

void ProgressDialog::progressStepIt() {
    if (!bar_)
        return;
    const int step = values_[Step] == 0 ? 1 : values_[Step];
    int next = bar_->value() + step;
    // A bar that runs over its end starts again, as the stepping bar of the desktop does.
    if (next > bar_->maximum())
        next =
            bar_->minimum() + (next - bar_->maximum()) % std::max(1, bar_->maximum() - bar_->minimum() + 1);
    bar_->setValue(next);
}

int ProgressDialog::barValue() const {
    return bar_ ? bar_->value() : 0;
}

void ProgressDialog::execute(const std::function<void()>& operation) {
    // The window: 307 x 98, dialog border, centred on the main window.
    auto dialog =
        std::make_unique<ProgressWindow>(owner_, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    dialog->setObjectName(QStringLiteral("ProgressDialog"));
    dialog->setWindowTitle(caption_);
    dialog->setFixedSize(307, 98);
    dialog->setModal(true);
    auto* label = new QLabel(dialog.get());
    label->setObjectName(QStringLiteral("InfoLabel"));
    label->setGeometry(8, 8, 293, 13 + 4);
    auto* bar = new QProgressBar(dialog.get());
    bar->setObjectName(QStringLiteral("ProgressBar"));
    bar->setGeometry(8, 38, 292, 18);
    bar->setTextVisible(false);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), dialog.get());
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setGeometry(116, 67, 75, 23);
    cancel->setAutoDefault(false);
    QObject::connect(cancel, &QPushButton::clicked, [this] { cancelled_ = true; });

    window_ = dialog.get();
    label_ = label;
    bar_ = bar;
    values_[Step] = values_[Step] == 0 ? 1 : values_[Step];
    cancelled_ = false;
    if (!operation) {
        window_.clear();
        return;
    }
    if (owner_) {
        const QPoint centre = owner_->mapToGlobal(owner_->rect().center());
        dialog->move(centre - QPoint(dialog->width() / 2, dialog->height() / 2));
    }

    std::exception_ptr kept;
    QDialog* raw = dialog.get();
    // Starts once the window is shown and painted.
    QTimer::singleShot(0, raw, [&, raw] {
        QApplication::processEvents();
        try {
            operation();
        } catch (...) {
            kept = std::current_exception();
        }
        raw->done(QDialog::Accepted);
    });
    dialog->exec();
    label_.clear();
    bar_.clear();
    window_.clear();
    dialog.reset();
    if (kept)
        std::rethrow_exception(kept);
}

} // namespace svod::app

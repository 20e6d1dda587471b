#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "engine/TableData.h"

namespace svod::reception {

// The icon of a message box, which is also the kind of a message.
enum class MessageKind { Plain, Info, Warning, Error, Question };
enum class Buttons { Ok, OkCancel, YesNo };
enum class Answer { Ok, Cancel, Yes, No };

// The answer of the reception-mode dialog.
enum class PriemMode { Cancelled, FromFile, Direct };

// Everything the core shows the user or asks of him. The GUI shows message boxes and the progress
// dialog, svod-cli answers from its flags, tests record every text.
//
// The progress part keeps the dialog's values here so that every implementation behaves alike;
// an implementation with a window overrides the operations and calls the base to keep the values.
class Interaction {
public:
    virtual ~Interaction() = default;

    // A message box with OK.
    virtual void message(MessageKind kind, const QString& text) = 0;
    // A modal question; the icon and the buttons as given.
    virtual Answer question(MessageKind icon, const QString& text, Buttons buttons) = 0;
    // The open-file dialog; the empty text when the user cancels.
    virtual QString chooseFile(const QString& filter, const QString& initialDir) = 0;
    // The reception-mode dialog. With the test box ticked (and shown) in file mode, `code` becomes "99".
    virtual PriemMode askPriemMode(QString& code, bool hideTest) = 0;
    // A protocol shown at once, alone.
    virtual void showProtocol(const engine::TableData& protocol) = 0;
    // The protocols of one reception joined into one preview, in check order.
    virtual void showProtocols(const QList<engine::TableData>& protocols) = 0;

    // First panel of the status bar.
    virtual void setStatus(const QString& text) { status_ = text; }
    const QString& status() const { return status_; }
    // The hourglass cursor.
    virtual void setBusy(bool) {}
    // Lets the user interface paint and see the cancel button.
    virtual void processEvents() {}

    // --- progress dialog -----------------------------------------------------------------
    enum ProgressIndex { Minimum = 0, Maximum = 1, Step = 2, Position = 3 };
    virtual void setCaption(const QString& text) { caption_ = text; }
    virtual void setInfoLabel(const QString& text) { info_ = text; }
    virtual void setProgress(int index, int value);
    // Advances the bar of a shown dialog; the stored position stays.
    virtual void stepProgress() {}
    int position() const { return values_[Position]; }
    int progressValue(int index) const { return values_[index]; }
    const QString& caption() const { return caption_; }
    const QString& infoLabel() const { return info_; }
    // Runs the operation as the dialog's operation; its error reaches the caller unchanged.
    virtual void execute(const std::function<void()>& operation);
    bool cancelRequested() const { return cancel_; }
    // The dialog's "Отмена" button.
    void requestCancel() { cancel_ = true; }

protected:
    void clearCancel() { cancel_ = false; }

private:
    QString status_;
    QString caption_ = QStringLiteral("Подождите...");
    QString info_ = QStringLiteral(" ");
    int values_[4] = {0, 0, 0, 0};
    bool cancel_ = false;
};

// setInfoLabel followed by processing pending messages, as long operations report a stage.
void showStage(Interaction& interaction, const QString& text);

} // namespace svod::reception

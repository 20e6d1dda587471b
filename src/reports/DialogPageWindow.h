#pragma once

#include <QDialog>
#include <QList>
#include <functional>

#include "engine/DialogSession.h"

namespace svod::reports {

// A report's dialog page as a modal window: one widget per control, placed where the template
// puts it and named after it; the widgets write into the session's controls and run their events.
class DialogPageWindow : public QDialog {
    Q_OBJECT
public:
    DialogPageWindow(engine::DialogSession& session, int page, QWidget* parent = nullptr);

    // The error a script raised while the page was open (the window closed then); empty otherwise.
    const QString& error() const { return error_; }
    // Every widget shows its control's value again (a script may change any control of the page).
    void refresh();

private:
    struct Binding {
        engine::ControlObject* control;
        QWidget* widget;
    };

    QWidget* makeWidget(engine::ControlObject& control);
    QWidget* makeCheckList(engine::ControlObject& control);
    QWidget* makeRadioGroup(engine::ControlObject& control);
    QWidget* makeDateField(engine::ControlObject& control);
    void refreshOne(const Binding& binding);
    QString accessibleNameOf(const engine::ControlObject& control) const;
    // A value the user changed: the control's change event, then every widget again.
    void changed(engine::ControlObject& control);
    void pressed(engine::ControlObject& button);
    // False (with a message) while a date field holds no calendar date.
    bool datesValid();
    // Runs a session call; a script error closes the window with the error kept.
    bool guarded(const std::function<void()>& call);

    engine::DialogSession& session_;
    int page_;
    QList<Binding> bindings_;
    QString error_;
    bool refreshing_ = false;
};

// Shows each dialog page as a DialogPageWindow; a script's messages in message boxes.
class DialogWindowRunner final : public engine::DialogRunner {
public:
    using MessageSink = std::function<void(const QString&)>;
    // `parent` owns the windows while they are open; without `messages` a plain box shows them.
    explicit DialogWindowRunner(QWidget* parent = nullptr, MessageSink messages = {});
    void setParent(QWidget* parent) { parent_ = parent; }
    // Throws svod::Error when a script failed while the page was open.
    bool showPage(engine::DialogSession& session, int index) override;
    void message(const QString& text) override;

private:
    QWidget* parent_;
    MessageSink messages_;
};

} // namespace svod::reports

#pragma once

#include <QHash>
#include <QWidget>

class QToolButton;

namespace svod::reports {

// A flat bar of record commands over an editable table: first, previous, next, last, insert,
// delete, edit, post, cancel, refresh. It only says which command was chosen; the window acts.
class RecordNavigator final : public QWidget {
    Q_OBJECT
public:
    enum class Command { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

    explicit RecordNavigator(QWidget* parent = nullptr);

    QToolButton* button(Command command) const { return buttons_.value(command); }
    void setCommandEnabled(Command command, bool enabled);

Q_SIGNALS:
    void commandChosen(svod::reports::RecordNavigator::Command command);

private:
    QHash<Command, QToolButton*> buttons_;
};

} // namespace svod::reports

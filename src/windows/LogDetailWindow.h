#pragma once

#include <QWidget>

#include "windows/WindowTypes.h"

class QGridLayout;
class QLabel;
class QPushButton;
class QTextEdit;

namespace svod::windows {

// "Подробно": one row of the reception log in full, the message in a fixed-pitch box.
class LogDetailWindow : public QWidget {
    Q_OBJECT
public:
    LogDetailWindow(db::Connection& connection, reception::Interaction& interaction, ErrorDisplay showError,
                    QWidget* parent = nullptr);

    // Shows the row whose ID is given; a failure is shown and the window stays as it was.
    void ViewID(const QString& id);

    QString dateText() const;
    QString branchText() const;
    QString statusText() const;
    QString idText() const;
    QString messageText() const;

private:
    QLabel* addValue(QGridLayout* grid, int row, const QString& caption, const QString& name);

    db::Connection& connection_;
    reception::Interaction& interaction_;
    ErrorDisplay showError_;
    QLabel* date_ = nullptr;
    QLabel* branch_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* id_ = nullptr;
    QTextEdit* message_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace svod::windows

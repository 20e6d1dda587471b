#include "reports/designer/InPlaceEditor.h"

#include <QKeyEvent>

namespace svod::reports::designer {

InPlaceEditor::InPlaceEditor(const QString& text, QWidget* parent) : QPlainTextEdit(text, parent) {
    setObjectName(QStringLiteral("InPlaceEditor"));
    setAccessibleName(QStringLiteral("Текст объекта"));
    setFrameShape(QFrame::Box);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    selectAll();
}

void InPlaceEditor::commit() {
    if (done_)
        return;
    done_ = true;
    const QString text = toPlainText();
    if (commit_)
        commit_(text);
    finish();
}

void InPlaceEditor::cancel() {
    if (done_)
        return;
    done_ = true;
    finish();
}

void InPlaceEditor::finish() {
    hide();
    Q_EMIT finished();
    deleteLater();
}

void InPlaceEditor::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        cancel();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!(event->modifiers() & Qt::ShiftModifier)) {
            commit();
            return;
        }
        insertPlainText(QStringLiteral("\n"));
        return;
    default:
        QPlainTextEdit::keyPressEvent(event);
    }
}

void InPlaceEditor::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    // A popup (the context menu) takes the focus for a while; anything else ends the edit.
    if (event->reason() != Qt::PopupFocusReason)
        commit();
}

} // namespace svod::reports::designer

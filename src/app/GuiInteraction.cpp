#include "app/GuiInteraction.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "app/MainWindow.h"
#include "app/MessageConventions.h"
#include "app/ReceptionModeDialog.h"

namespace svod::app {

using reception::Answer;
using reception::Buttons;
using reception::MessageKind;

namespace {
QMessageBox::Icon iconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Plain:
        return QMessageBox::NoIcon;
    case MessageKind::Info:
        return QMessageBox::Information;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QString qtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(u';', u' ');
        result << (description.contains(patterns) ? description
                                                  : description + QStringLiteral(" (") + patterns + u')');
    }
    return result.isEmpty() ? filter : result.join(QStringLiteral(";;"));
}

GuiInteraction::GuiInteraction(MainWindow& window, ProtocolViewer viewer)
    : window_(window), viewer_(std::move(viewer)) {}

void GuiInteraction::message(MessageKind kind, const QString& text) {
    QMessageBox box(iconOf(kind), ApplicationTitle, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

Answer GuiInteraction::question(MessageKind icon, const QString& text, Buttons buttons) {
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
    if (buttons == Buttons::OkCancel)
        standard = QMessageBox::Ok | QMessageBox::Cancel;
    if (buttons == Buttons::YesNo) {
        standard = QMessageBox::Yes | QMessageBox::No;
        defaultButton = QMessageBox::Yes;
    }
    QMessageBox box(iconOf(icon), ApplicationTitle, text, standard, QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QString GuiInteraction::chooseFile(const QString& filter, const QString& initialDir) {
    return QFileDialog::getOpenFileName(&window_, QStringLiteral("Открыть"), initialDir,
                                        qtFileFilter(filter));
}

reception::PriemMode GuiInteraction::askPriemMode(QString& code, bool hideTest) {
    return ReceptionModeDialog::ask(code, hideTest, &window_);
}

void GuiInteraction::showProtocol(const engine::TableData& protocol) {
    if (viewer_)
        viewer_({protocol});
}

void GuiInteraction::showProtocols(const QList<engine::TableData>& protocols) {
    if (viewer_ && !protocols.isEmpty())
        viewer_(protocols);
}

void GuiInteraction::setStatus(const QString& text) {
    Interaction::setStatus(text);
    window_.setStatusText(text);
}

void GuiInteraction::setBusy(bool busy) {
    if (busy) {
        ++busyDepth_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0) {
        --busyDepth_;
        QApplication::restoreOverrideCursor();
    }
}

void GuiInteraction::processEvents() {
    QApplication::processEvents();
    // The dialog's "Отмена" only sets its flag; the core polls ours.
    if (window_.progress().cancelled())
        requestCancel();
}

void GuiInteraction::setCaption(const QString& text) {
    Interaction::setCaption(text);
    window_.progress().setCaption(text);
}

void GuiInteraction::setInfoLabel(const QString& text) {
    Interaction::setInfoLabel(text);
    window_.progress().setInfoLabel(text);
}

void GuiInteraction::setProgress(int index, int value) {
    Interaction::setProgress(index, value);
    window_.progress().setProgress(index, value);
}

void GuiInteraction::stepProgress() {
    window_.progress().progressStepIt();
}

void GuiInteraction::execute(const std::function<void()>& operation) {
    clearCancel();
    window_.progress().execute(operation);
}

} // namespace svod::app

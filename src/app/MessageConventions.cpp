#include "app/MessageConventions.h"

#include <QMessageBox>

#include "db/CodePages.h"

namespace svod::app {

QString errorDisplayText(const QString& message) {
    if (message.isEmpty())
        return message;
    const QByteArray last = encodeCodePage(message.right(1), CodePage::Cp1251);
    if (!last.isEmpty() && static_cast<unsigned char>(last[0]) > static_cast<unsigned char>('.'))
        return message + u'.';
    return message;
}

namespace {
QMessageBox::StandardButton showBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, ApplicationTitle, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
} // namespace

void MessageBoxes::plain(const QString& text) {
    showBox(parent_, QMessageBox::NoIcon, text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBoxes::information(const QString& text) {
    showBox(parent_, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBoxes::error(const QString& text) {
    showBox(parent_, QMessageBox::Critical, errorDisplayText(text), QMessageBox::Ok, QMessageBox::Ok);
}

bool MessageBoxes::confirm(const QString& text) {
    return showBox(parent_, QMessageBox::Question, text, QMessageBox::Ok | QMessageBox::Cancel,
                   QMessageBox::Ok) == QMessageBox::Ok;
}

bool MessageBoxes::askYesNo(const QString& text) {
    return showBox(parent_, QMessageBox::Critical, text, QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::Yes) == QMessageBox::Yes;
}

} // namespace svod::app

#include "app/CatalogueDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/MessageConventions.h"

namespace svod::app {

namespace {
const QString TemplateFilter = QStringLiteral("Шаблон отчета (*.frf)");
}

QString DesktopCatalogueDialogs::openTemplateFile(const QString& folder) {
    if (!folder.isEmpty())
        lastOpenFolder_ = folder;
    const QString path =
        QFileDialog::getOpenFileName(parent_, QStringLiteral("Открыть"), lastOpenFolder_, TemplateFilter);
    if (!path.isEmpty())
        lastOpenFolder_ = QFileInfo(path).absolutePath();
    return path;
}

QString DesktopCatalogueDialogs::saveTemplateFile(const QString& folder, const QString& proposedName) {
    QFileDialog dialog(parent_, QStringLiteral("Сохранить как"), folder, TemplateFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("frf"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString DesktopCatalogueDialogs::chooseFolder(const QString& text) {
    return QFileDialog::getExistingDirectory(parent_, text);
}

bool DesktopCatalogueDialogs::confirm(const QString& text) {
    return messages_.confirm(text);
}

bool DesktopCatalogueDialogs::askYesNo(const QString& text) {
    QMessageBox box(QMessageBox::Question, ApplicationTitle, text, QMessageBox::Yes | QMessageBox::No,
                    parent_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void DesktopCatalogueDialogs::inform(const QString& text) {
    messages_.information(text);
}

void DesktopCatalogueDialogs::showError(const QString& text) {
    messages_.error(text);
}

} // namespace svod::app

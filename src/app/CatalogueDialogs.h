#pragma once

#include "reports/ReportCatalogueWindow.h"

class QWidget;

namespace svod::app {

class Messages;

// The report catalogue's questions as the desktop asks them: file dialogs with the template
// filter, the folder chooser, and the program's message boxes.
class DesktopCatalogueDialogs final : public reports::CatalogueDialogs {
public:
    DesktopCatalogueDialogs(Messages& messages, QWidget* parent) : messages_(messages), parent_(parent) {}

    QString openTemplateFile(const QString& folder) override;
    QString saveTemplateFile(const QString& folder, const QString& proposedName) override;
    QString chooseFolder(const QString& text) override;
    bool confirm(const QString& text) override;
    bool askYesNo(const QString& text) override;
    void inform(const QString& text) override;
    void showError(const QString& text) override;

private:
    Messages& messages_;
    QWidget* parent_;
    // Where the open dialog was last: a command that sets no folder starts there.
    QString lastOpenFolder_;
};

} // namespace svod::app

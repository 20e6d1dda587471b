#pragma once

#include <QDialog>

#include "reports/PreviewDocument.h"

class QRadioButton;

namespace svod::reports {

// The settings of the CSV and Excel exports, asked before the file is written.
class ExportOptionsDialog : public QDialog {
public:
    // Whether the format of `path` has settings to ask for.
    static bool hasOptions(const QString& path);

    ExportOptionsDialog(const QString& path, const SaveOptions& initial, QWidget* parent = nullptr);
    SaveOptions options() const;

private:
    QRadioButton* choice(const QString& text, const char* name, bool checked);

    SaveOptions options_;
    QRadioButton* windows1251_ = nullptr;
    QRadioButton* sheetPerPage_ = nullptr;
};

} // namespace svod::reports

#include "reports/ExportOptionsDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace svod::reports {

namespace {
QString suffixOf(const QString& path) {
    return QFileInfo(path).suffix().toLower();
}
} // namespace

bool ExportOptionsDialog::hasOptions(const QString& path) {
    const QString suffix = suffixOf(path);
    return suffix == u"csv" || suffix == u"xlsx";
}

QRadioButton* ExportOptionsDialog::choice(const QString& text, const char* name, bool checked) {
    auto* button = new QRadioButton(text, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(text);
    button->setChecked(checked);
    return button;
}

ExportOptionsDialog::ExportOptionsDialog(const QString& path, const SaveOptions& initial, QWidget* parent)
    : QDialog(parent), options_(initial) {
    setObjectName(QStringLiteral("ExportOptionsDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(this);
    auto* choices = new QVBoxLayout(group);
    if (suffixOf(path) == u"csv") {
        setWindowTitle(QStringLiteral("Сохранение в CSV"));
        group->setTitle(QStringLiteral("Кодировка"));
        group->setObjectName(QStringLiteral("EncodingGroup"));
        choices->addWidget(choice(QStringLiteral("UTF-8 (Excel 2007 и новее, LibreOffice)"), "Utf8Button",
                                  !initial.csvWindows1251));
        windows1251_ = choice(QStringLiteral("Windows-1251 (старые программы)"), "Windows1251Button",
                              initial.csvWindows1251);
        choices->addWidget(windows1251_);
    } else {
        setWindowTitle(QStringLiteral("Сохранение в Excel"));
        group->setTitle(QStringLiteral("Листы книги"));
        group->setObjectName(QStringLiteral("SheetsGroup"));
        choices->addWidget(
            choice(QStringLiteral("Один лист на весь отчет"), "OneSheetButton", !initial.sheetPerPage));
        sheetPerPage_ = choice(QStringLiteral("Отдельный лист на каждую страницу"), "SheetPerPageButton",
                               initial.sheetPerPage);
        choices->addWidget(sheetPerPage_);
    }
    group->setAccessibleName(group->title());
    setAccessibleName(windowTitle());
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("ButtonBox"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Сохранить"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("SaveButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
    for (auto* b : buttons->buttons())
        b->setAccessibleName(b->text());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

SaveOptions ExportOptionsDialog::options() const {
    SaveOptions o = options_;
    if (windows1251_)
        o.csvWindows1251 = windows1251_->isChecked();
    if (sheetPerPage_)
        o.sheetPerPage = sheetPerPage_->isChecked();
    return o;
}

} // namespace svod::reports

#include "app/ReceptionModeDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace svod::app {

ReceptionModeDialog::ReceptionModeDialog(bool hideTest, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("ChDirectForm"));
    setWindowTitle(QStringLiteral("Прием данных"));
    setFixedSize(289, 168);

    auto* group = new QGroupBox(QStringLiteral(" Режим приема данных "), this);
    group->setObjectName(QStringLiteral("RadioGroup1"));
    group->setGeometry(8, 8, 273, 80);
    fromFile_ = new QRadioButton(QStringLiteral("Прием из филиала (файл)"), group);
    fromFile_->setObjectName(QStringLiteral("RadioItem0"));
    direct_ = new QRadioButton(QStringLiteral("Прием из Москвы"), group);
    direct_->setObjectName(QStringLiteral("RadioItem1"));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(fromFile_);
    groupLayout->addWidget(direct_);
    fromFile_->setChecked(true);

    testBranch_ = new QCheckBox(QStringLiteral("Принять в тестовый \"99\" филиал"), this);
    testBranch_->setObjectName(QStringLiteral("CheckBox1"));
    testBranch_->setGeometry(16, 96, 265, 22);
    testBranch_->setVisible(!hideTest);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button2"));
    ok->setGeometry(64, 132, 75, 25);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("Button1"));
    cancel->setGeometry(150, 132, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // The test branch applies to file packets only.
    connect(fromFile_, &QRadioButton::toggled, testBranch_, &QCheckBox::setEnabled);
}

int ReceptionModeDialog::selectedIndex() const {
    return direct_->isChecked() ? 1 : 0;
}

bool ReceptionModeDialog::testBranchTicked() const {
    return testBranch_->isChecked();
}

bool ReceptionModeDialog::testBranchVisible() const {
    return !testBranch_->isHidden();
}

reception::PriemMode ReceptionModeDialog::ask(QString& code, bool hideTest, QWidget* parent) {
    ReceptionModeDialog dialog(hideTest, parent);
    if (dialog.exec() != QDialog::Accepted)
        return reception::PriemMode::Cancelled;
    if (dialog.selectedIndex() != 0)
        return reception::PriemMode::Direct;
    if (dialog.testBranchVisible() && dialog.testBranchTicked())
        code = QStringLiteral("99");
    return reception::PriemMode::FromFile;
}

} // namespace svod::app

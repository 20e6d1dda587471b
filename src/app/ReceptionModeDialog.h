#pragma once

#include <QDialog>

#include "reception/Interaction.h"

class QCheckBox;
class QRadioButton;

namespace svod::app {

// "Прием данных": file from a branch or the server staging tables, and the test-branch option.
class ReceptionModeDialog final : public QDialog {
    Q_OBJECT
public:
    ReceptionModeDialog(bool hideTest, QWidget* parent = nullptr);

    int selectedIndex() const;
    bool testBranchTicked() const;
    bool testBranchVisible() const;

    // Shows the dialog; on Cancel the code stays, and it becomes "99" when the file mode was chosen with
    // the visible test option ticked.
    static reception::PriemMode ask(QString& code, bool hideTest, QWidget* parent);

private:
    QRadioButton* fromFile_;
    QRadioButton* direct_;
    QCheckBox* testBranch_;
};

} // namespace svod::app

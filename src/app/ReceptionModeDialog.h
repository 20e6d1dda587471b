#pragma once

#include <QDialog>

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

    // AskPriemMode: -1 on Cancel (code unchanged); otherwise the index, with code "99" when the
    // file mode was chosen with the visible test option ticked.
    static int AskPriemMode(QString& code, bool hideTest, QWidget* parent);

private:
    QRadioButton* fromFile_;
    QRadioButton* direct_;
    QCheckBox* testBranch_;
};

} // namespace svod::app

// The reception mode dialog: its controls and the answers of its static form.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/ReceptionModeDialog.h"

using namespace svod;
using namespace svod::app;

TEST(ReceptionMode, DialogControlsAndAnswers) {
    ReceptionModeDialog dialog(false);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Прием данных"));
    auto* direct = dialog.findChild<QRadioButton*>(QStringLiteral("RadioItem1"));
    auto* test = dialog.findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    ASSERT_TRUE(direct && test);
    EXPECT_EQ(dialog.selectedIndex(), 0);
    EXPECT_TRUE(test->isEnabled());
    EXPECT_FALSE(test->isChecked());
    direct->setChecked(true);
    EXPECT_FALSE(test->isEnabled());
    EXPECT_EQ(dialog.selectedIndex(), 1);

    // The static form: OK with the test option gives "99"; Cancel leaves the code.
    auto answer = [](bool hideTest, bool pickDirect, bool tick, bool ok, QString& code) {
        QTimer::singleShot(0, [=] {
            auto* d = qobject_cast<ReceptionModeDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            if (pickDirect)
                d->findChild<QRadioButton*>(QStringLiteral("RadioItem1"))->setChecked(true);
            if (tick)
                d->findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->setChecked(true);
            d->findChild<QPushButton*>(ok ? QStringLiteral("Button2") : QStringLiteral("Button1"))->click();
        });
        return ReceptionModeDialog::ask(code, hideTest, nullptr);
    };
    QString code;
    EXPECT_EQ(answer(false, false, true, true, code), reception::PriemMode::FromFile);
    EXPECT_EQ(code, QStringLiteral("99"));
    code = QStringLiteral("keep");
    EXPECT_EQ(answer(false, false, true, false, code), reception::PriemMode::Cancelled);
    EXPECT_EQ(code, QStringLiteral("keep"));
    code.clear();
    EXPECT_EQ(answer(true, false, true, true, code), reception::PriemMode::FromFile);
    EXPECT_TRUE(code.isEmpty()) << "a hidden test option never applies";
    EXPECT_EQ(answer(false, true, false, true, code), reception::PriemMode::Direct);
    EXPECT_TRUE(code.isEmpty());
}

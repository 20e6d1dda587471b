// The progress dialog runs an operation inside itself and hands its error back unchanged.
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app/ProgressDialog.h"
#include "db/Error.h"

using namespace svod;
using namespace svod::app;

TEST(ProgressDialogExecute, RunsInsideTheDialogAndReraisesUnchanged) {
    QWidget owner;
    ProgressDialog progress(&owner);
    EXPECT_EQ(progress.caption(), QStringLiteral("Подождите..."));
    EXPECT_EQ(progress.infoText(), QStringLiteral(" "));
    bool ranInside = false;
    try {
        progress.execute([&] {
            ranInside = progress.window() != nullptr && progress.window()->isVisible();
            progress.setInfoLabel(QStringLiteral("Перенос данных на сервер"));
            progress.setProgress(ProgressDialog::Maximum, 10);
            progress.setProgress(ProgressDialog::Position, 3);
            EXPECT_EQ(progress.barValue(), 3);
            auto* cancel = progress.window()->findChild<QPushButton*>(QStringLiteral("CancelButton"));
            ASSERT_NE(cancel, nullptr);
            EXPECT_EQ(cancel->text(), QStringLiteral("Отмена"));
            QTest::mouseClick(cancel, Qt::LeftButton);
            // The button only sets the flag; the window stays until the operation ends.
            EXPECT_TRUE(progress.window()->isVisible());
            if (progress.cancelled())
                throw Error(QStringLiteral("Прервано пользователем"));
        });
        FAIL() << "the operation's error must reach the caller";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Прервано пользователем"));
    }
    EXPECT_TRUE(ranInside);
    EXPECT_EQ(progress.window(), nullptr);
    // The next run starts with the flag cleared.
    bool cancelledAtStart = true;
    progress.execute([&] { cancelledAtStart = progress.cancelled(); });
    EXPECT_FALSE(cancelledAtStart);
    // Without an operation nothing happens.
    EXPECT_NO_THROW(progress.execute({}));
}

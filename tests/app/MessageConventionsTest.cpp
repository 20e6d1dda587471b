// The default error display's full-stop rule.
#include <gtest/gtest.h>

#include "app/MessageConventions.h"

using namespace svod::app;

TEST(MessageConventions, FullStopRule) {
    EXPECT_EQ(errorDisplayText(QStringLiteral("Прервано пользователем")),
              QStringLiteral("Прервано пользователем."));
    EXPECT_EQ(errorDisplayText(QStringLiteral("Ошибка!")), QStringLiteral("Ошибка!"));
    EXPECT_EQ(errorDisplayText(QStringLiteral("Готово.")), QStringLiteral("Готово."));
    EXPECT_EQ(errorDisplayText(QStringLiteral("(тип1)")), QStringLiteral("(тип1)"));
    EXPECT_EQ(errorDisplayText(QStringLiteral("Строка 5")), QStringLiteral("Строка 5."));
    EXPECT_EQ(errorDisplayText(QStringLiteral("abc ")), QStringLiteral("abc "));
    EXPECT_EQ(errorDisplayText(QString()), QString());
}

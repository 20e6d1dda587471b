#include <QApplication>
#include <gtest/gtest.h>

// One main for every test executable. A QApplication on the offscreen platform serves the SQL
// plugins, fonts and painting, and the widget tests alike.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

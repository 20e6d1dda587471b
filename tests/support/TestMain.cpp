#include <QCoreApplication>
#include <gtest/gtest.h>

// One main for every test executable: Qt's SQL plugins need an application object.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

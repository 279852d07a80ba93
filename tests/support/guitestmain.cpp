#include <QApplication>
#include <gtest/gtest.h>

// Widget tests never need a display. ctest runs them offscreen, but the build
// also runs each executable once to list its cases, outside the tests'
// environment; so unless the caller chose a platform, offscreen it is.
int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

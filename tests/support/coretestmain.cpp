#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests of the non-widget libraries run inside a plain core application so that
// sockets, timers and posted events have an event loop to live in.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

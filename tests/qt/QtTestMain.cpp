#include <QCoreApplication>

#include <gtest/gtest.h>

// The adapters need an application object; tests that need its event loop run it themselves.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

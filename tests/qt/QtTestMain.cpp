#include <QCoreApplication>

#include <gtest/gtest.h>

// The Qt adapters need an application object (and its thread) to live on.
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

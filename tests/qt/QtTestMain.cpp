#include <QCoreApplication>

#include <gtest/gtest.h>

// The adapters need an application object; none of them may need its event loop, so none runs.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

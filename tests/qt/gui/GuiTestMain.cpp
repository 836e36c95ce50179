#include <QApplication>

#include <gtest/gtest.h>

// The screens need a widget application; QT_QPA_PLATFORM=offscreen runs them without a display.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "history/qt/ViewerWebPage.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <unistd.h>

// Qt WebEngine wants its OpenGL contexts shared before the application exists. Without a display
// the pages run offscreen; as root Chromium runs only without its sandbox.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    velorin::ViewerWebPage::prepareApplication();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

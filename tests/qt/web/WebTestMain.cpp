#include "history/qt/ViewerWebPage.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <unistd.h>

// Under the sanitizers: Chromium inside Qt WebEngine deletes some objects by a smaller type than it
// made them, and it and fontconfig keep some allocations to the end. Both are theirs, not ours, so
// those two reports are off here and every other check stays on. (Only read in a sanitizer build.)
extern "C" const char* __asan_default_options()
{
    return "new_delete_type_mismatch=0";
}

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libQt6WebEngineCore.so\nleak:libfontconfig.so\n";
}

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

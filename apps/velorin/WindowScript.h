#pragma once

#include "ScriptPlayer.h"

namespace velorin {

class Files;
class MainWindow;
class MonitorWidget;

// Saves the window (with the dialogs open over it) as a PNG file through the whole-file write, so
// that a FIFO, device or directory at the name is refused, never waited on. False when not saved.
bool saveWindowPicture(MainWindow& window, Files& files, const std::string& file, std::string& problem);

// A script's window commands carried out on the real window, with the events a user's hand would make.
class WindowScript : public ScriptWindow {
public:
    WindowScript(MainWindow& window, MonitorWidget& monitor, Files& files)
        : m_window(window), m_monitor(monitor), m_files(files)
    {
    }

    void resize(int width, int height) override;
    void minimize() override;
    void restore() override;
    void tapTrace() override;
    void showTab(const std::string& name) override;
    bool screenshot(const std::string& file) override;

private:
    MainWindow& m_window;
    MonitorWidget& m_monitor;
    Files& m_files;
};

} // namespace velorin

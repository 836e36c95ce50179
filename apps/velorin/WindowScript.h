#pragma once

#include "ScriptPlayer.h"

namespace velorin {

class MainWindow;
class MonitorWidget;

// A script's window commands carried out on the real window, with the events a user's hand would make.
class WindowScript : public ScriptWindow {
public:
    WindowScript(MainWindow& window, MonitorWidget& monitor) : m_window(window), m_monitor(monitor) {}

    void resize(int width, int height) override;
    void minimize() override;
    void restore() override;
    void tapTrace() override;
    void showTab(const std::string& name) override;
    bool screenshot(const std::string& file) override;

private:
    MainWindow& m_window;
    MonitorWidget& m_monitor;
};

} // namespace velorin

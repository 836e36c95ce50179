#pragma once

#include <functional>
#include <string>

namespace velorin {

class Alerts;
class Files;
class ImageDecoder;
class Log;
class Queue;
class SettingsStore;

// What the settings screens reach beyond themselves. The monitor is created only once the tab bar
// shows, so these are callbacks the composition root fills in, not the monitor itself.
struct SettingsNavigation {
    std::function<void()> lockMonitor;         // the monitor's passwordSet
    std::function<void()> bringMonitorToFront; // the monitor's currentTabIndex
    std::function<void()> presentLogin;        // the same login screen the monitor opens
    // Ends the application through its normal quit path, which still flushes the open recording.
    std::function<void()> quit;
};

struct SettingsContext {
    SettingsStore& settings;
    Log& log;
    Queue& mainQueue;
    Alerts& alerts;
    Files& files;
    ImageDecoder& images;
    std::string documentsDirectory;
    SettingsNavigation navigation;
};

inline void callIfSet(const std::function<void()>& action)
{
    if (action)
        action();
}

// A dialog with one button "OK" and nothing to answer.
void tell(const SettingsContext& context, const std::string& title, const std::string& message);

// The way back to the login screen, the same from every settings screen. Only the login marker is
// cleared: the token, the servers and the patient identifier stay until a new login replaces them.
void backToLogin(const SettingsContext& context);

} // namespace velorin

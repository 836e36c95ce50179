#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace velorin {

struct AlertRequest;
class MonitorView;
class SettingsStore;

// The monitor's lock: on while the setting lockPass holds a non-empty passcode (read each time, so a
// passcode saved in the settings locks at once and the lock survives a restart). Only that passcode,
// typed into the unlock dialog, lifts it, and for good until a new one is saved. What the trace does
// meanwhile is the screen's. Main queue only.
class ScreenLock {
public:
    // The dialog is told apart by its message.
    static constexpr std::string_view unlockMessage = "Write your passcode!";

    // `ask` shows a dialog whose answer comes back through unlockAnswered.
    ScreenLock(SettingsStore& settings, MonitorView& view, std::function<void(const AlertRequest&)> ask);

    bool locked() const;
    // A passcode was just stored: the unlock button shows.
    void passwordSet();
    void unlockClick();
    // The dialog's OK; true when the lock is lifted (the unlock button is hidden then).
    bool unlockAnswered(const std::string& fieldText);

private:
    SettingsStore& m_settings;
    MonitorView& m_view;
    std::function<void(const AlertRequest&)> m_ask;
};

} // namespace velorin

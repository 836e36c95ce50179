#pragma once

#include "settings/SettingsContext.h"

#include <string>

namespace velorin {

class PositionButtonsView;

// The settings tab: the about box, locking the monitor, the sensor position, the way back to the
// login screen and quitting. The profile and setup screens are opened by the view.
class SettingsMenuController {
public:
    SettingsMenuController(SettingsContext context, PositionButtonsView& positions)
        : m_ctx(std::move(context)), m_positions(positions)
    {
    }

    static std::string aboutMessage();

    void aboutUs();
    void exit();
    // Selects the first tab, the monitor.
    void cancel();
    void passwordSet();
    void changeSensorPos(int sender);
    void backToLogin();

private:
    SettingsContext m_ctx;
    PositionButtonsView& m_positions;
};

} // namespace velorin

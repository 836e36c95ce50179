#include "settings/SettingsMenuController.h"

#include "settings/PositionButtonsView.h"

namespace velorin {

std::string SettingsMenuController::aboutMessage()
{
    // The release line stays word for word as users of every earlier release have seen it.
    return "Velorin v. 1.24 27.05.2017 "
           "Made by the Velorin team.\n\n"
           "Velorin is built with these open-source libraries:\n"
           "Qt 6 — GNU Lesser General Public License v3 (LGPL v3)\n"
           "nlohmann/json — MIT License";
}

void SettingsMenuController::aboutUs()
{
    tell(m_ctx, "About us", aboutMessage());
}

void SettingsMenuController::exit()
{
    callIfSet(m_ctx.navigation.quit);
}

void SettingsMenuController::cancel()
{
    callIfSet(m_ctx.navigation.bringMonitorToFront);
}

void SettingsMenuController::passwordSet()
{
    callIfSet(m_ctx.navigation.lockMonitor);
}

void SettingsMenuController::changeSensorPos(int sender)
{
    velorin::changeSensorPos(m_positions, m_ctx.log, sender);
}

void SettingsMenuController::backToLogin()
{
    velorin::backToLogin(m_ctx);
}

} // namespace velorin

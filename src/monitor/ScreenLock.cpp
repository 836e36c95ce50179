#include "monitor/ScreenLock.h"

#include "monitor/MonitorView.h"
#include "platform/Alerts.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <utility>

namespace velorin {

ScreenLock::ScreenLock(SettingsStore& settings, MonitorView& view, std::function<void(const AlertRequest&)> ask)
    : m_settings(settings), m_view(view), m_ask(std::move(ask))
{
}

bool ScreenLock::locked() const
{
    const auto passcode = m_settings.textOrNumber(keys::lockPass);
    return passcode && !passcode->empty();
}

void ScreenLock::passwordSet()
{
    m_view.setShown(Outlet::unlockButton, true);
}

void ScreenLock::unlockClick()
{
    m_ask({"Unlock visualisation", std::string(unlockMessage), "Cancel", {"OK"}, true, true});
}

bool ScreenLock::unlockAnswered(const std::string& fieldText)
{
    const auto passcode = m_settings.textOrNumber(keys::lockPass);
    const bool lockOn = passcode && !passcode->empty();
    // With no passcode stored any more (an earlier answer already unlocked) nothing is left to
    // refuse, and the unlock button must not stay up for good.
    if (lockOn && fieldText != *passcode) {
        m_view.makeToast("Wrong password for unlock!");
        return false;
    }
    // One passcode protects one locking.
    if (passcode)
        m_settings.remove(keys::lockPass);
    m_view.setShown(Outlet::unlockButton, false);
    return true;
}

} // namespace velorin

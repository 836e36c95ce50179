#include "app/TermsController.h"

#include "platform/Clock.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace velorin {

bool TermsController::termsSettled(const SettingsStore& settings)
{
    return settings.boolean(keys::termsAccept) || settings.boolean(keys::termsDecline);
}

bool TermsController::agreeClick()
{
    m_settings.setBool(keys::termsAccept, true);
    m_settings.set(keys::termsDate, SettingsStore::nearestStorableDate(m_clock.now()));
    return m_settings.flush();
}

} // namespace velorin

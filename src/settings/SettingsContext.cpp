#include "settings/SettingsContext.h"

#include "platform/Alerts.h"
#include "platform/Log.h"
#include "platform/Queue.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace velorin {

void tell(const SettingsContext& context, const std::string& title, const std::string& message)
{
    // A dialog without an answer handler would not close on its button.
    context.alerts.show({title, message, "OK", {}, false}, [](int, const std::string&) {});
}

void backToLogin(const SettingsContext& context)
{
    // The task holds nothing of the screen that asked, which may be closed before it runs.
    context.mainQueue.async(
        [&settings = context.settings, &log = context.log, present = context.navigation.presentLogin] {
            if (present)
                present();
            settings.setBool(keys::loggedIn, false);
            if (!settings.flush())
                log.line("The logout could not be written to the settings file");
        });
}

} // namespace velorin

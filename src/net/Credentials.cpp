#include "net/Credentials.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace velorin {

std::string uploadToken(const SettingsStore& settings)
{
    return settings.textOrNumber(keys::token).value_or(std::string(builtInUploadToken));
}

std::string eventKey(const SettingsStore& settings)
{
    return settings.textOrNumber(keys::VUApiKey).value_or(std::string(builtInUploadToken));
}

std::optional<std::string> patientId(const SettingsStore& settings)
{
    return settings.textOrNumber(keys::PatientId);
}

} // namespace velorin

#pragma once

#include "settings/SettingValue.h"

#include <string_view>
#include <vector>

namespace velorin {

// Used for uploads and events whenever the store holds no token of its own.
inline constexpr std::string_view builtInUploadToken = "5d07e1b94c2a4f86b3e0";

// Key names are case-sensitive and must match what earlier installs wrote: "token" and "Token"
// are different keys.
namespace keys {
inline constexpr std::string_view termsAccept = "termsAccept";
inline constexpr std::string_view termsDecline = "termsDecline";
inline constexpr std::string_view termsDate = "termsDate";
inline constexpr std::string_view loggedIn = "loggedIn";
inline constexpr std::string_view token = "token";
inline constexpr std::string_view fileServers = "fileServers";
inline constexpr std::string_view markedServer = "markedServer";
inline constexpr std::string_view VUApiKey = "VUApiKey";
inline constexpr std::string_view PatientId = "PatientId";
inline constexpr std::string_view Name = "Name";
inline constexpr std::string_view Age = "Age";
inline constexpr std::string_view Weight = "Weight";
inline constexpr std::string_view Gender = "Gender";
inline constexpr std::string_view lockPass = "lockPass";
inline constexpr std::string_view amplitudeHeightMin = "amplitudeHeightMin";
inline constexpr std::string_view amplitudeHeightMax = "amplitudeHeightMax";
inline constexpr std::string_view selectedUUID = "selectedUUID";
inline constexpr std::string_view password = "password";
inline constexpr std::string_view PdfLength = "PdfLength";
} // namespace keys

struct SettingKey {
    std::string_view name;
    SettingType type;        // the type the app writes; values from a server may differ
    std::string_view whenAbsent; // what readers assume when the key is missing, for reference
};

// Every key the app knows, in no particular order.
const std::vector<SettingKey>& settingKeys();

} // namespace velorin

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velorin {

class SettingsStore;

// Used for uploads and events whenever the settings hold no token of their own.
inline constexpr std::string_view builtInUploadToken = "5d07e1b94c2a4f86b3e0";

// What the servers are told about who sends, as the login left it in the settings. A server may
// have sent any of them as text or as a number; a number counts as its decimal text.

// The stored upload token (an empty one included), else the built-in one.
std::string uploadToken(const SettingsStore& settings);
// The stored event key (an empty one included), else the built-in upload token.
std::string eventKey(const SettingsStore& settings);
std::optional<std::string> patientId(const SettingsStore& settings);

} // namespace velorin

#pragma once

#include <string_view>

namespace velorin {

// The sensor the user chose and the pin typed for it, kept in the settings across runs under the
// names earlier installs wrote: "password" holds the sensor's pin and nothing else.
namespace sensorKeys {
inline constexpr std::string_view selectedUUID = "selectedUUID";
inline constexpr std::string_view sensorPin = "password";
} // namespace sensorKeys

} // namespace velorin

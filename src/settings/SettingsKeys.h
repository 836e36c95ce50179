#pragma once

#include <string_view>

namespace velorin {

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
inline constexpr std::string_view PdfLength = "PdfLength";
} // namespace keys

// What readers take for a profile key that is missing (or, for the report, holds an empty text).
namespace defaults {
inline constexpr std::string_view reportName = "Your name";
inline constexpr std::string_view reportAge = "XX";
inline constexpr std::string_view reportWeight = "XX";
inline constexpr std::string_view reportGender = "Male";
// The owner word of the remembered sensor's label while no name is stored.
inline constexpr std::string_view sensorOwner = "Your";
} // namespace defaults

} // namespace velorin

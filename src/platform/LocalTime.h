#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Dates in the device's local time zone (TZ is honoured). Times are seconds since the Unix epoch.

// "yyyy-MM-dd_HHmmss", the file stamp pattern.
std::string formatFileStamp(double epochSeconds);
// "yyyy-MM-dd HH:mm:ss".
std::string formatDateTime(double epochSeconds);
// "YYYY-MM-DDTHH:MM:SS" read as local time, years 1 to 9999; nullopt when malformed, not a real date,
// or skipped by the local clock (a daylight-saving change), with the reason in `problem` when given.
std::optional<double> parseLocalDateTime(std::string_view text, std::string* problem = nullptr);
// What a local clock that skips the time would have shown had it not: the time read with the
// offset in force before the change. For stamps written by a clock in another zone.
std::optional<double> parseLocalDateTimeAcrossGaps(std::string_view text);

} // namespace velorin

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Dates as the settings file keeps them: "2026-12-06T16:58:02.123Z", always UTC with milliseconds,
// four-digit years only (1 to 9999), so every date written parses back.

inline constexpr std::int64_t msPerDay = 86'400'000;

// Proleptic Gregorian calendar, days counted from 1970-01-01; valid for negative years too, which
// keeps the arithmetic free of special cases before the epoch.
inline constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

inline constexpr std::int64_t earliestUtcMilliseconds = daysFromCivil(1, 1, 1) * msPerDay;
inline constexpr std::int64_t latestUtcMilliseconds = daysFromCivil(10000, 1, 1) * msPerDay - 1;

// Seconds since 1970 as whole milliseconds; nullopt when not finite or outside years 1 to 9999.
std::optional<std::int64_t> utcMilliseconds(double epochSeconds);
std::string formatUtcDate(std::int64_t ms);
// The fraction may have any number of digits; what lies beyond milliseconds is dropped. Nullopt for
// anything but the form above or a day that does not exist.
std::optional<std::int64_t> parseUtcDate(std::string_view text);

} // namespace velorin

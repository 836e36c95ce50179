#include "platform/LocalTime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace velorin {

namespace {

std::tm localParts(double epochSeconds)
{
    const std::time_t whole = static_cast<std::time_t>(std::floor(epochSeconds));
    std::tm parts{};
    localtime_r(&whole, &parts);
    return parts;
}

} // namespace

std::string formatFileStamp(double epochSeconds)
{
    const std::tm t = localParts(epochSeconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::string formatDateTime(double epochSeconds)
{
    const std::tm t = localParts(epochSeconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::optional<double> parseLocalDateTime(std::string_view text)
{
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':')
        return std::nullopt;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 11u, 12u, 14u, 15u, 17u, 18u})
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
    auto number = [&](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    std::tm parts{};
    parts.tm_year = number(0, 4) - 1900;
    parts.tm_mon = number(5, 2) - 1;
    parts.tm_mday = number(8, 2);
    parts.tm_hour = number(11, 2);
    parts.tm_min = number(14, 2);
    parts.tm_sec = number(17, 2);
    parts.tm_isdst = -1;
    const std::tm asGiven = parts;
    const std::time_t when = std::mktime(&parts);
    if (when == static_cast<std::time_t>(-1))
        return std::nullopt;
    // mktime normalises out-of-range fields (31 February); a real date comes back unchanged.
    if (parts.tm_year != asGiven.tm_year || parts.tm_mon != asGiven.tm_mon || parts.tm_mday != asGiven.tm_mday ||
        parts.tm_min != asGiven.tm_min || parts.tm_sec != asGiven.tm_sec)
        return std::nullopt;
    return static_cast<double>(when);
}

} // namespace velorin

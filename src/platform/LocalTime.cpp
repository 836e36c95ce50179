#include "platform/LocalTime.h"

#include <cerrno>
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

namespace {

std::optional<double> parse(std::string_view text, std::string* problem, bool acrossGaps)
{
    const auto refuse = [&](std::string why) -> std::optional<double> {
        if (problem)
            *problem = std::move(why);
        return std::nullopt;
    };
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':')
        return refuse("not a local time YYYY-MM-DDTHH:MM:SS");
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 11u, 12u, 14u, 15u, 17u, 18u})
        if (text[i] < '0' || text[i] > '9')
            return refuse("not a local time YYYY-MM-DDTHH:MM:SS");
    auto number = [&](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    static constexpr int monthLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (year < 1 || month < 1 || month > 12 || day < 1 ||
        day > monthLengths[month - 1] + (month == 2 && leap ? 1 : 0) || hour > 23 || minute > 59 || second > 59)
        return refuse("not a real date and time");

    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    errno = 0;
    const std::time_t when = std::mktime(&parts);
    // -1 is also the honest answer for one second before the epoch; only errno tells a failure.
    if (when == static_cast<std::time_t>(-1) && errno != 0)
        return refuse("beyond what this system's clock can represent");
    // The calendar fields were checked above, so a time that comes back changed lies in a gap of
    // the local clock: a daylight-saving change skips it.
    if (!acrossGaps &&
        (parts.tm_year != year - 1900 || parts.tm_mon != month - 1 || parts.tm_mday != day || parts.tm_hour != hour ||
         parts.tm_min != minute || parts.tm_sec != second))
        return refuse("does not exist in the local time zone: the local clock skips it (a daylight-saving or time-zone change)");
    return static_cast<double>(when);
}

} // namespace

std::optional<double> parseLocalDateTime(std::string_view text, std::string* problem)
{
    return parse(text, problem, false);
}

std::optional<double> parseLocalDateTimeAcrossGaps(std::string_view text)
{
    return parse(text, nullptr, true);
}

} // namespace velorin

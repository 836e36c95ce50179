#include "platform/UtcDate.h"

#include <cmath>
#include <cstdio>

namespace velorin {

namespace {

struct Civil {
    std::int64_t year;
    unsigned month, day;
};

constexpr Civil civilFromDays(std::int64_t z)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

} // namespace

std::optional<std::int64_t> utcMilliseconds(double epochSeconds)
{
    if (!std::isfinite(epochSeconds))
        return std::nullopt;
    const double ms = std::round(epochSeconds * 1000.0);
    if (ms < static_cast<double>(earliestUtcMilliseconds) || ms > static_cast<double>(latestUtcMilliseconds))
        return std::nullopt;
    return static_cast<std::int64_t>(ms);
}

std::string formatUtcDate(std::int64_t ms)
{
    std::int64_t days = ms / msPerDay;
    std::int64_t inDay = ms % msPerDay;
    if (inDay < 0) {
        inDay += msPerDay;
        --days;
    }
    const Civil c = civilFromDays(days);
    char text[64]; // roomy enough that no integer can truncate it
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", static_cast<long long>(c.year),
                  c.month, c.day, static_cast<long long>(inDay / 3'600'000), static_cast<long long>(inDay / 60'000 % 60),
                  static_cast<long long>(inDay / 1000 % 60), static_cast<long long>(inDay % 1000));
    return text;
}

namespace {

bool isLeapYear(std::int64_t y)
{
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

unsigned daysInMonth(std::int64_t y, unsigned m)
{
    static constexpr unsigned lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : lengths[m - 1];
}

// Reads exactly `count` digits at `pos`, advancing past them.
bool readDigits(std::string_view text, std::size_t& pos, std::size_t count, unsigned& out)
{
    if (text.size() - pos < count)
        return false;
    out = 0;
    for (std::size_t end = pos + count; pos < end; ++pos) {
        if (text[pos] < '0' || text[pos] > '9')
            return false;
        out = out * 10 + static_cast<unsigned>(text[pos] - '0');
    }
    return true;
}

bool consume(std::string_view text, std::size_t& pos, char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

} // namespace

std::optional<std::int64_t> parseUtcDate(std::string_view text)
{
    std::size_t pos = 0;
    unsigned y, mo, d, h, mi, s;
    if (!readDigits(text, pos, 4, y) || !consume(text, pos, '-') || !readDigits(text, pos, 2, mo)
        || !consume(text, pos, '-') || !readDigits(text, pos, 2, d) || !consume(text, pos, 'T')
        || !readDigits(text, pos, 2, h) || !consume(text, pos, ':') || !readDigits(text, pos, 2, mi)
        || !consume(text, pos, ':') || !readDigits(text, pos, 2, s))
        return std::nullopt;
    unsigned ms = 0;
    if (consume(text, pos, '.')) {
        unsigned scale = 100, digits = 0;
        for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, ++digits) {
            ms += static_cast<unsigned>(text[pos] - '0') * scale;
            scale /= 10;
        }
        if (digits == 0)
            return std::nullopt;
    }
    if (!consume(text, pos, 'Z') || pos != text.size())
        return std::nullopt;
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    return daysFromCivil(y, mo, d) * msPerDay + (h * 3600 + mi * 60 + s) * std::int64_t{1000} + ms;
}

} // namespace velorin

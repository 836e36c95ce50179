#include "history/DateParts.h"

#include <cmath>
#include <ctime>
#include <limits>

namespace velorin {

std::optional<DateParts> localDateParts(double epochSeconds)
{
    const double floored = std::floor(epochSeconds);
    if (!std::isfinite(floored) || floored < static_cast<double>(std::numeric_limits<std::time_t>::min()) ||
        floored >= static_cast<double>(std::numeric_limits<std::time_t>::max()))
        return std::nullopt;
    const std::time_t whole = static_cast<std::time_t>(floored);
    std::tm parts{};
    if (!localtime_r(&whole, &parts))
        return std::nullopt;
    return DateParts{parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min};
}

} // namespace velorin

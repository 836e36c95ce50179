#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

using Nanoseconds = std::chrono::nanoseconds;

// The longest time a run, a timer or a replay may span: 100 years. Beyond it a time is refused
// rather than wrapped.
inline constexpr Nanoseconds longestSpan = std::chrono::hours(24) * 36525;

// Reads a plain decimal number of seconds ("30", "30.016", "0.3333333333") into whole nanoseconds.
// The decimal text is rounded to the nearest nanosecond, halves upward, without passing through a
// floating-point number, so every reader of times rounds alike. Signs, exponents, bare dots and
// values beyond longestSpan give nothing.
std::optional<Nanoseconds> parseSeconds(std::string_view text);

// Seconds as a decimal text with up to nine decimals and no trailing zeros ("30.016", "2").
std::string formatSeconds(Nanoseconds span);

// Seconds as a double, for code that computes with fractions of a second.
inline double toSeconds(Nanoseconds span)
{
    return std::chrono::duration<double>(span).count();
}

// Rounds seconds to whole nanoseconds; values beyond longestSpan are clamped to it (and negative
// ones to zero), so no conversion can wrap.
Nanoseconds fromSeconds(double seconds);

} // namespace velorin

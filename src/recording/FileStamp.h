#pragma once

#include <string>

namespace velorin {

// 2001-01-01 00:00:00 UTC; a whole multiple of 30 s after the Unix epoch.
inline constexpr double referenceInstant = 978307200.0;

// The instant floored to a multiple of 30 seconds since the reference instant.
double dateWith30Seconds(double epochSeconds);
// "yyyy-MM-dd_HHmmss" of the floored instant, in the device's time zone; always ends in 00 or 30.
std::string chunkFileStamp(double epochSeconds);

} // namespace velorin

#pragma once

#include "history/RecordingStream.h"

#include <functional>
#include <string_view>

namespace velorin {

// "time,seconds,value", then one line per decoded sample: local ISO 8601 time with milliseconds and
// offset, seconds from the start (three decimals), the value. A marked event is the line
// "# event SECONDS ACTIVITY" before the first sample after it; its commas are written "\x2C" like
// the control bytes already escaped, so every line keeps its shape. Short packets have no lines.
//
// The text goes to `sink` in pieces of about a megabyte; false from the sink stops the writing and
// is returned.
bool writeCsv(const RecordingStream& stream, const std::function<bool(std::string_view)>& sink);

} // namespace velorin

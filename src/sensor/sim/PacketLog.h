#pragma once

#include "sensor/sim/ReplayUpdate.h"

#include <string>
#include <string_view>

namespace velorin {

// Reads a hand-writable packet log: one value update per line, `[@SECONDS] [UUID:] HEX`, with `#`
// comments and blank lines. Without @SECONDS an update arrives 0.112 s after the previous one (the
// first at 0.112 s); without UUID it is an ECG packet ("2A37"). The first malformed line is reported.
ReplayResult parsePacketLog(std::string_view text, const std::string& fileName);

} // namespace velorin

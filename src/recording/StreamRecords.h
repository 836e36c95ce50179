#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velorin {

// The header of a recording stream file: 180 bytes plus the sensor identifier. Its length bytes are
// constants that readers expect as they are, even where they do not match the line that follows.
std::string streamHeader(std::string_view sensorId, std::string_view chunkStamp);

// An event annotation: the time since Start (packets x 0.08, printed "%f") and the activity title.
std::string annotationRecord(std::int64_t packetsSinceStart, std::string_view activity);

} // namespace velorin

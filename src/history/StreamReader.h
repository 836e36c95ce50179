#pragma once

#include "history/RecordingStream.h"

#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Reads a recording stream file. Its pieces carry no lengths, so each piece ends where the next
// one's marker begins; a full packet is taken as 20 bytes when a marker (or the end) follows them.
//
// The header comes behind the first chunk's records and its stamp is that flush floored to 30 s,
// so the start is the stamp less 112 ms for every packet record before the header: up to 30 s early.
//
// A file cut inside a record keeps the whole records before the cut, with a warning. A second
// header (a later recording appended under the same stamp) ends the first recording there. Fails
// (nullopt, with the reason) without a header, with an unreadable stamp, or without any packet.
std::optional<RecordingStream> readRecordingStream(std::string_view bytes, std::string& problem);

} // namespace velorin

#pragma once

#include "history/RecordingStream.h"

#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Reads a recording stream file whole, for the exports. Its pieces carry no lengths, so each piece
// ends where the next one's lead begins or the file ends (streamFormat::pieceLeadAt), a packet within
// streamFormat::packetLengths. Of those ends a packet record takes the one 20 bytes in, else the
// first; a lead that the file's end cuts is taken as a piece's beginning, not as packet bytes.
//
// Replay reads the same pieces with the same ends (sensor/sim/StreamFileReader.h) but weighs every
// reading ahead and stops at a fault or a tie. An export instead keeps all that a damaged file still
// holds, with warnings: it takes the first fit, reads any bytes as an annotation's title (escaped),
// and knows a header by its identifier, date and time lines and the other lines' length bytes.
//
// The header comes behind the first chunk's records and its stamp is that flush floored to 30 s,
// so the start is the stamp less 112 ms for every packet record before the header: up to 30 s early.
//
// A file cut inside a record keeps the whole records before the cut, with a warning. A second
// header (a later recording appended under the same stamp) ends the first recording there. Fails
// (nullopt, with the reason) without a header, with an unreadable stamp, or without any packet.
std::optional<RecordingStream> readRecordingStream(std::string_view bytes, std::string& problem);

} // namespace velorin

#pragma once

#include "fakes/Packets.h"
#include "signal/StreamFormat.h"

#include <cstdlib>
#include <ctime>
#include <string>

namespace velorin {

// Central European time, so that dates and offsets are not UTC's by accident.
inline void useCentralEuropeanTime()
{
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
}

inline std::string packetRecord(const std::vector<std::uint8_t>& packet)
{
    std::string record;
    appendPacketRecord(record, packet);
    return record;
}

// As the writer leaves it: a packet, a marked event, a short packet with its note, the header of
// the first flush (04:33:00), then one packet of the next chunk.
inline std::string tinyStream()
{
    return packetRecord(rampPacket(100)) + annotationRecord(1, "Walking") +
           streamErrorText("2026-12-07_043300") + packetRecord(std::vector<std::uint8_t>(10, 0xAA)) +
           streamHeader("S1", "2026-12-07_043300") + packetRecord(rampPacket(500));
}

} // namespace velorin

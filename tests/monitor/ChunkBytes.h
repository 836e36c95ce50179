#pragma once

#include "../fakes/MonitorRig.h"
#include "signal/StreamFormat.h"

#include <string>

namespace velorin::test {

// What the monitor writes for packets from..from+count-1 of MonitorRig::stream: their stream records,
// and their samples as the chunk's text.
inline std::string records(int from, int count)
{
    std::string bytes;
    for (int i = from; i < from + count; ++i)
        appendPacketRecord(bytes, MonitorRig::packet(500 + i % 7, i));
    return bytes;
}

inline std::string chunkText(int from, int count)
{
    std::string text;
    for (int i = from; i < from + count; ++i)
        for (int k = 0; k < 14; ++k)
            text += std::to_string(500 + i % 7 + k) + " ";
    return text;
}

} // namespace velorin::test

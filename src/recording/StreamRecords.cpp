#include "recording/StreamRecords.h"

#include <cstdio>

namespace velorin {

std::string streamHeader(std::string_view sensorId, std::string_view chunkStamp)
{
    std::string header;
    header.reserve(180 + sensorId.size());
    header.append("\x21\x32\x01", 3);
    header.append("\x6E\x2F", 2);
    header.append("recording software = Trazio 1.5.2-0-g589e757 ()\n");
    header.append("\x25\x15", 2);
    header.append("UUID=").append(sensorId).append("\n");
    header.append("\x25\x0F", 2);
    header.append("date=").append(chunkStamp).append("\n");
    header.append("\x25\x0A", 2);
    header.append("time=").append(chunkStamp).append("\n");
    header.append("\x25\x0E", 2);
    header.append("timezone=+0100\n");
    header.append("\x25\x27", 2);
    header.append("Gadget firmware revision=1.0.2e 1b34dca\n");
    header.append("Header end");
    return header;
}

std::string annotationRecord(std::int64_t packetsSinceStart, std::string_view activity)
{
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%f", static_cast<double>(packetsSinceStart) * 0.08);
    std::string record = "101168";
    record.append(seconds);
    record.append("1033101197");
    record.append(activity);
    return record;
}

} // namespace velorin

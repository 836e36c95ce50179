#include "signal/StreamFormat.h"

#include <cstdio>

namespace velorin {

using namespace streamFormat;

void appendPacketRecord(std::string& stream, std::span<const std::uint8_t> packet)
{
    stream.append(recordLead);
    stream.append(reinterpret_cast<const char*>(packet.data()), packet.size());
}

std::string streamErrorText(std::string_view chunkStamp)
{
    std::string text(errorLead);
    text.append(chunkStamp);
    return text;
}

std::string streamHeader(std::string_view sensorId, std::string_view chunkStamp)
{
    std::string header(headerLead);
    header.append(softwareLead).append(softwareName);
    header.append(identifierLead).append(sensorId);
    header.append(dateLead).append(chunkStamp);
    header.append(timeLead).append(chunkStamp);
    header.append(zoneLead).append(zoneText);
    header.append(firmwareLead).append(firmwareName);
    header.append(headerClose);
    return header;
}

std::string annotationRecord(std::int64_t packetsSinceStart, std::string_view activity)
{
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.*f", static_cast<int>(annotationDecimals),
                  static_cast<double>(packetsSinceStart) * 0.08);
    std::string record(annotationLead);
    record.append(seconds);
    record.append(annotationMiddle);
    record.append(activity);
    return record;
}

} // namespace velorin

#pragma once

#include "signal/PacketLayout.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The recording stream (.s2): pieces one after another, none with a length or a separator, each
// known by the lead it begins with. It lives here, below the writer, intake and both readers,
// because intake (this layer) writes the packet records and their notes.
//
//   packet record  recordLead, then the packet's bytes as the sensor sent them
//   error text     errorLead and the latest flush's stamp, just before the record of a packet too
//                  short to decode (an empty notification too)
//   header         at a recording's first flush: headerLead, then the lines below, then headerClose
//   annotation     annotationLead, the seconds since Start printed "%f", annotationMiddle, the title
namespace velorin::streamFormat {

// No lead ends with the beginning of another, so the end of one piece and the lead of the next
// never spell a lead across them.
inline constexpr std::string_view recordLead = "10022";
inline constexpr std::string_view errorLead = "Error in communication timestamp: ";
inline constexpr std::string_view headerLead{"!2\x01", 3};
inline constexpr std::string_view annotationLead = "101168";
inline constexpr std::size_t longestLead = errorLead.size();

// The header's lines. Each opens with two length bytes that readers expect as they are, even where
// they do not match the line, and each after the first is led in by the line feed ending the one
// before it, so that a reader finds a line by its whole lead.
inline constexpr std::size_t lineLengthBytes = 2;
inline constexpr std::string_view softwareLead = "\x6E\x2F" "recording software = ";
inline constexpr std::string_view identifierLead = "\n\x25\x15" "UUID=";
inline constexpr std::string_view dateLead = "\n\x25\x0F" "date=";
inline constexpr std::string_view timeLead = "\n\x25\x0A" "time=";
inline constexpr std::string_view zoneLead = "\n\x25\x0E" "timezone=";
inline constexpr std::string_view firmwareLead = "\n\x25\x27" "Gadget firmware revision=";
inline constexpr std::string_view headerClose = "\nHeader end";
// What this writer puts in the lines that readers take as any text.
inline constexpr std::string_view softwareName = "Trazio 1.5.2-0-g589e757 ()";
inline constexpr std::string_view zoneText = "+0100";
inline constexpr std::string_view firmwareName = "1.0.2e 1b34dca";

// The chunk stamp that an error text carries (d a digit); it is empty before the first flush.
inline constexpr std::string_view stampPattern = "dddd-dd-dd_dddddd";

// An annotation's time has always six decimals ("%f"): that is what tells the number apart from the
// digits of the middle that follow it directly.
inline constexpr std::string_view annotationMiddle = "1033101197";
inline constexpr std::size_t annotationDecimals = 6;

// The packet a record holds: a full one of 19 bytes up to what a characteristic value holds, one
// after an error text of fewer bytes than a full one.
inline constexpr std::size_t longestPacket = 512;
struct PacketLengths {
    std::size_t shortest;
    std::size_t longest;
};
constexpr PacketLengths packetLengths(bool afterErrorText)
{
    return afterErrorText ? PacketLengths{0, minimumPacketLength - 1}
                          : PacketLengths{minimumPacketLength, longestPacket};
}

// Where a record (or any piece) may end: where the next piece's lead begins, or where the stream
// ends. `cut` is a lead's beginning that the end of `bytes` cuts off; each reader says what it makes
// of one.
enum class LeadAt : std::uint8_t { none, whole, cut };

inline LeadAt leadAt(std::string_view bytes, std::size_t at, std::string_view lead)
{
    const std::string_view there = bytes.substr(at, lead.size());
    if (there != lead.substr(0, there.size()))
        return LeadAt::none;
    return there.size() == lead.size() ? LeadAt::whole : LeadAt::cut;
}

// Any piece's lead at `at` (< bytes.size()). Readers run this on every byte, so it looks at one byte
// before it compares a lead.
inline LeadAt pieceLeadAt(std::string_view bytes, std::size_t at)
{
    switch (bytes[at]) {
    case '1':
        if (const LeadAt record = leadAt(bytes, at, recordLead); record != LeadAt::none)
            return record;
        return leadAt(bytes, at, annotationLead);
    case 'E':
        return leadAt(bytes, at, errorLead);
    case '!':
        return leadAt(bytes, at, headerLead);
    default:
        return LeadAt::none;
    }
}

} // namespace velorin::streamFormat

namespace velorin {

// The pieces as the recorder writes them.
void appendPacketRecord(std::string& stream, std::span<const std::uint8_t> packet);
std::string streamErrorText(std::string_view chunkStamp);
std::string streamHeader(std::string_view sensorId, std::string_view chunkStamp);
// The time since Start is counted as packets x 0.08 s.
std::string annotationRecord(std::int64_t packetsSinceStart, std::string_view activity);

} // namespace velorin

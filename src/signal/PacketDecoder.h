#pragma once

#include "signal/PacketLayout.h"

#include <cstdint>
#include <span>
#include <string>

namespace velorin {

class SampleRing;
class TraceFeed;

// The only producer of samples: turns one ECG packet into 14 samples and feeds the sample ring, the
// trace and the upload buffer. Runs on the Bluetooth queue, one packet at a time.
class PacketDecoder {
public:
    PacketDecoder(SampleRing& ring, TraceFeed& feed, std::string& uploadBuffer)
        : m_ring(ring), m_feed(feed), m_uploadBuffer(uploadBuffer)
    {
    }

    // Writes the packet's sample text into `text` ("s0 s1 ... s13", no leading or trailing space) and
    // returns true; a packet of 18 bytes or fewer leaves `text` empty, changes nothing and returns false.
    bool calculateBits(std::span<const std::uint8_t> packet, std::string& text);

private:
    SampleRing& m_ring;
    TraceFeed& m_feed;
    std::string& m_uploadBuffer;
};

// Appends the decimal text of a sample (0..1023 in practice; any int32 is handled).
void appendDecimal(std::string& text, std::int32_t value);

} // namespace velorin

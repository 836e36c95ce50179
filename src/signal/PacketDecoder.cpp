#include "signal/PacketDecoder.h"

#include "signal/SampleRing.h"
#include "signal/TraceFeed.h"

#include <charconv>

namespace velorin {

void appendDecimal(std::string& text, std::int32_t value)
{
    char digits[12];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

std::string PacketDecoder::errorText(std::string_view chunkStamp)
{
    std::string text = "Error in communication timestamp: ";
    text.append(chunkStamp);
    return text;
}

bool PacketDecoder::calculateBits(std::span<const std::uint8_t> packet, std::string& text)
{
    text.clear();
    if (packet.size() < minimumPacketLength)
        return false;
    const PacketSamples samples = unpackSamples(packet);
    m_ring.write(samples);
    m_feed.feed(samples);
    // Every byte but the last goes to the upload.
    m_uploadBuffer.append(reinterpret_cast<const char*>(packet.data()), packet.size() - 1);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        if (k != 0)
            text.push_back(' ');
        appendDecimal(text, samples[k]);
    }
    return true;
}

} // namespace velorin

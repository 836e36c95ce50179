#include "signal/PacketDecoder.h"

#include "signal/SampleRing.h"
#include "signal/TraceFeed.h"

#include <array>
#include <charconv>
#include <cstring>

namespace velorin {

namespace {

// The decimal texts of every sample value 0..1023, made once: a day of recording prints 10.8 million.
struct SampleTexts {
    struct Text {
        char digits[4];
        std::uint8_t length;
    };
    std::array<Text, 1024> texts{};
    SampleTexts()
    {
        for (std::size_t v = 0; v < texts.size(); ++v) {
            const auto end = std::to_chars(texts[v].digits, texts[v].digits + 4, v).ptr;
            texts[v].length = static_cast<std::uint8_t>(end - texts[v].digits);
        }
    }
};

char* writeDecimal(char* out, std::int32_t value)
{
    static const SampleTexts table;
    if (static_cast<std::uint32_t>(value) < table.texts.size()) {
        const auto& text = table.texts[static_cast<std::size_t>(value)];
        std::memcpy(out, text.digits, 4); // the buffer always has room for four
        return out + text.length;
    }
    return std::to_chars(out, out + 11, value).ptr;
}

} // namespace

void appendDecimal(std::string& text, std::int32_t value)
{
    char digits[16];
    text.append(digits, writeDecimal(digits, value));
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
    // Built in place and assigned once: this runs for every packet of a day-long recording.
    char buffer[samplesPerPacket * 12 + 4];
    char* end = buffer;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        if (k != 0)
            *end++ = ' ';
        end = writeDecimal(end, samples[k]);
    }
    text.assign(buffer, end);
    return true;
}

} // namespace velorin

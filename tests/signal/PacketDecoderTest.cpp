#include "monitor/TraceView.h"
#include "signal/PacketDecoder.h"
#include "signal/SampleRing.h"
#include "signal/TraceFeed.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace velorin {
namespace {

struct DecoderRig {
    ApplicationState appState;
    TraceView view{appState};
    TraceFeed feed{view};
    SampleRing ring;
    std::string upload;
    PacketDecoder decoder{ring, feed, upload};
    std::string text;

    bool decode(const std::vector<std::uint8_t>& packet) { return decoder.calculateBits(packet, text); }
};

// Reads bit i of the packet as one little-endian bit stream, independently of the byte formulas.
int bitAt(const std::vector<std::uint8_t>& packet, int i)
{
    return packet[i / 8] >> (i % 8) & 1;
}

TEST(PacketDecoder, SamplesFollowTheLittleEndianBitStream)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> packet(20);
        for (auto& b : packet)
            b = static_cast<std::uint8_t>(random());
        const PacketSamples samples = unpackSamples(packet);
        for (int k = 0; k < 14; ++k) {
            int expected = 0;
            for (int bit = 0; bit < 10; ++bit)
                expected |= bitAt(packet, 10 * k + bit) << bit;
            ASSERT_EQ(samples[k], expected) << "sample " << k;
        }
        std::vector<std::uint8_t> repacked(20, 0);
        packSamples(samples, repacked);
        EXPECT_EQ(unpackSamples(repacked), samples);
    }
}

TEST(PacketDecoder, TextListsTheSamplesAndTrailingBitsNeverChangeOne)
{
    DecoderRig rig;
    std::vector<std::uint8_t> packet(20, 0xFF);
    packet[0] = 0x01;
    packet[1] = 0x02;
    packet[17] = 0x0F; // the four bits after the last sample, then two spare bytes
    ASSERT_TRUE(rig.decode(packet));
    EXPECT_EQ(rig.text, "513 960 1023 1023 1023 1023 1023 1023 1023 1023 1023 1023 1023 1023");
}

TEST(PacketDecoder, ShortPacketChangesNothingAndLongerOnesUploadAllButTheLastByte)
{
    DecoderRig rig;
    EXPECT_FALSE(rig.decode(std::vector<std::uint8_t>(18, 0x11)));
    EXPECT_EQ(rig.text, "");
    EXPECT_EQ(rig.ring.writeCount(), 0);
    EXPECT_TRUE(rig.upload.empty());
    EXPECT_TRUE(rig.view.ekgMap().empty());
    EXPECT_FALSE(rig.decode({}));

    std::vector<std::uint8_t> packet19(19);
    for (std::size_t i = 0; i < packet19.size(); ++i)
        packet19[i] = static_cast<std::uint8_t>(i);
    EXPECT_TRUE(rig.decode(packet19));
    EXPECT_EQ(rig.upload, std::string(packet19.begin(), packet19.end() - 1));

    std::vector<std::uint8_t> packet24(24, 0xAB);
    rig.decode(packet24);
    EXPECT_EQ(rig.upload.size(), 18u + 23u);
    EXPECT_EQ(rig.ring.writeCount(), 28);
}

TEST(PacketDecoder, RingWrapsAfter4000Samples)
{
    DecoderRig rig;
    std::vector<std::uint8_t> packet(20, 0);
    for (int n = 0; n < 286; ++n) {
        PacketSamples samples;
        for (int k = 0; k < 14; ++k)
            samples[k] = (n * 14 + k) % 1024;
        packSamples(samples, packet);
        rig.decode(packet);
    }
    EXPECT_EQ(rig.ring.writeCount(), 4004);
    // Samples 4000..4003 are the newest and sit in slots 0..3; slot 4 still holds sample 4.
    for (int slot = 0; slot < 4; ++slot)
        EXPECT_EQ(rig.ring.load(slot), (4000 + slot) % 1024);
    EXPECT_EQ(rig.ring.load(4), 4);
    EXPECT_EQ(rig.ring.load(3999), 3999 % 1024);
}

} // namespace
} // namespace velorin

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velorin {

// One recording read back from its stream file, in the shape the exports need: every packet's 14
// samples in order (a short packet repeats the sample before it, so time stays continuous), which
// packets were short, and the marked events at the packet they precede.
struct RecordingStream {
    struct Event {
        std::size_t packetsBefore = 0; // packet records before the annotation: its time is this x 112 ms
        std::string activity;          // printable UTF-8: control bytes escaped, long titles cut
    };

    std::string sensorId;
    std::string stamp;              // the header's date stamp, as written
    std::int64_t startMs = 0;       // Unix milliseconds of the first packet (see StreamReader.h)
    std::size_t packets = 0;
    std::vector<std::int16_t> samples;   // packets x 14
    std::vector<std::size_t> shortPackets; // ascending packet indices
    std::vector<Event> events;
    std::vector<std::string> warnings; // what was left out and why; the export still stands

    static constexpr std::int64_t packetMs = 112; // 14 samples at 8 ms
    static constexpr std::int64_t sampleMs = 8;
};

} // namespace velorin

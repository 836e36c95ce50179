#pragma once

#include "signal/UncountedPackets.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace velorin {

// Packets per chunk: 268 counted packets, 3752 samples, about 30 seconds.
inline constexpr std::int32_t packetsPerFlush = 268;

// What the monitor keeps while a sensor streams. Flags are 32-bit words compared against 1.
// Start, Stop and event marking (main queue) and intake and flush (Bluetooth queue) share the
// buffers: every access to sampleText, recordBuffer and recordingPath holds bufferMutex.
struct Acquisition {
    std::atomic<std::int32_t> recordingActive{0};
    std::atomic<std::int64_t> packetsSinceStart{0};
    std::atomic<std::int32_t> valueUpdateCount{0};
    std::atomic<std::int32_t> connectNoticePending{1};
    std::atomic<std::int32_t> sensorStatusShown{0};
    std::int32_t flushCounter = 0; // Bluetooth queue only
    // When the latest ECG packet arrived, on the monotonic clock in nanoseconds; written by intake,
    // read by the main queue to tell whether the signal is live.
    static constexpr std::int64_t noPacketYet = INT64_MIN;
    std::atomic<std::int64_t> lastEcgPacketAt{noPacketYet};

    std::mutex bufferMutex;
    std::string sampleText;
    std::string recordBuffer;
    std::string recordingPath; // empty: the next flush opens a new stream file
    UncountedPackets uncountedText{packetsPerFlush};
    UncountedPackets uncountedRecords{packetsPerFlush};

    std::string uploadBuffer; // Bluetooth queue only: the chunk's packet bytes
    UncountedPackets uncountedUploads{packetsPerFlush};
    std::string chunkStamp;   // Bluetooth queue only: the stamp of the latest flush, empty before the first

    // The flush rule: in the background or inactive every packet counts; in the foreground only
    // while recording.
    bool countsTowardFlush(bool applicationActive) const { return !applicationActive || recordingActive.load() == 1; }

    // Taken from the settings when the monitor loads.
    std::string chosenSensorId;
    std::string sensorPin;
    std::vector<std::string> fileServerList;
    std::string eventServerAddress;
};


} // namespace velorin

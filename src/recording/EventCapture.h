#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Keeps the signal around a marked event: the chunk before the mark, the chunk of the mark and the
// chunk after it. Marking happens on the main queue; the step runs inside each flush on the
// Bluetooth queue. The flag is an atomic word and the titles are replaced whole under a lock.
// A flush may write less than a chunk (the link dropped): what such flushes write counts by its
// samples, so the file still holds a chunk's worth before the mark's chunk and after it.
class EventCapture {
public:
    struct EventFile {
        std::string name; // "<stamp> <activity> <feeling> .event"
        const std::string& text;
    };

    void markPending() { m_eventPending.store(1); }
    bool pending() const { return m_eventPending.load() == 1; }
    void setActivity(std::string activity);
    void setFeeling(std::string feeling);

    // Samples in a chunk: 268 packets of 14.
    static constexpr std::size_t chunkSamples = 268 * 14;

    // One flush's step with the chunk just written; returns the event file once its closing chunk is in.
    std::optional<EventFile> eventStep(const std::string& chunkText, std::string_view chunkStamp);


private:
    void keepLatestChunk(const std::string& chunkText);

    std::atomic<std::int32_t> m_eventPending{0};
    std::int32_t m_eventChunkSeen = 0; // Bluetooth queue only
    std::size_t m_samplesAfter = 0;    // Bluetooth queue only: written since the mark's chunk
    std::mutex m_titleMutex;
    std::string m_eventActivity;
    std::string m_eventFeeling;
    std::string m_eventText; // Bluetooth queue only
};

} // namespace velorin

#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace velorin {

// Packets taken in while they do not count toward a flush (in the foreground without recording).
// Nothing flushes them, so only the latest `limit` are kept in the buffers: memory stays flat over
// days of stopped monitoring, and the first chunk after Start holds at most one chunk from before.
// Every call is made under the lock that guards the buffers.
class UncountedPackets {
public:
    explicit UncountedPackets(std::size_t limit) : m_limit(limit) {}

    // Notes a packet just appended to both buffers, which held textStart and recordStart bytes
    // before it. Older packets beyond the limit are dropped in batches, so each packet costs little.
    // True when this drops packets for the first time since the latest forget().
    bool noteUncounted(std::string& text, std::string& record, std::size_t textStart, std::size_t recordStart);
    // Drops all but the latest `limit` noted packets now.
    void trim(std::string& text, std::string& record);
    // The noted packets were flushed, counted past or cleared away: none is dropped any more.
    void forget();

private:
    struct Start {
        std::size_t text;
        std::size_t record;
    };
    std::size_t m_limit;
    std::deque<Start> m_starts; // where each noted packet begins in the buffers
    bool m_dropped = false;
};

} // namespace velorin

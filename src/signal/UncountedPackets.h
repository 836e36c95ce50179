#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace velorin {

// Packets taken into a buffer while they do not count toward a flush (in the foreground without
// recording). Nothing flushes them, so only the latest `limit` are kept: memory stays flat over days
// of stopped monitoring, and the first chunk after Start holds at most one chunk from before.
// One object per buffer; each is used under whatever guards its buffer.
class UncountedPackets {
public:
    explicit UncountedPackets(std::size_t limit) : m_limit(limit) {}

    // Notes a packet just appended to `buffer`, which held `start` bytes before it. Older packets
    // beyond the limit are dropped in batches, so each packet costs little. True when this drops
    // packets for the first time since the latest forget().
    bool noteUncounted(std::string& buffer, std::size_t start);
    // Drops all but the latest `limit` noted packets now.
    void trim(std::string& buffer);
    // The noted packets were counted past, flushed or cleared away: none is dropped any more.
    void forget();

private:
    std::size_t m_limit;
    std::deque<std::size_t> m_starts; // where each noted packet begins in the buffer
    bool m_dropped = false;
};

} // namespace velorin

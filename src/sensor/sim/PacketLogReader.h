#pragma once

#include "platform/ByteReader.h"
#include "sensor/sim/ReplayUpdate.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velorin {

// Reads a hand-writable packet log one line at a time: one value update per line,
// `[@SECONDS] [UUID:] HEX`, with `#` comments and blank lines. Without @SECONDS an update arrives
// 0.112 s after the previous one (the first at 0.112 s); without UUID it is an ECG packet ("2A37").
// Times are exact nanoseconds, never going back and never past 100 years, given or implied. Reading
// stops at the first malformed line, which error() then names.
class PacketLogReader : public ReplaySource {
public:
    // The longest line, not counting its newline. A line is held whole while it is parsed, so this
    // bounds the memory a log can take, also one that never ends its line.
    static constexpr std::size_t maxLineBytes = std::size_t{1} << 20;

    PacketLogReader(std::unique_ptr<ByteReader> bytes, std::string fileName);
    std::optional<ReplayUpdate> next() override;
    const std::optional<ReplayError>& error() const override { return m_error; }

private:
    std::optional<std::string_view> nextLine();
    bool fill();
    std::optional<ReplayUpdate> fail(std::string message, int line);

    std::unique_ptr<ByteReader> m_bytes;
    std::string m_fileName;
    std::optional<ReplayError> m_error;

    // The unread lines start at m_lineStart; m_buffer up to m_scanned is known to hold no newline
    // after it, so a long line is searched once. Consumed lines are dropped before reading more.
    std::string m_buffer;
    std::size_t m_lineStart = 0;
    std::size_t m_scanned = 0;
    bool m_atEnd = false;
    int m_lineNumber = 0;

    // Implicit times count from the last explicit one rather than adding 0.112 line by line, so a
    // long log does not accumulate rounding.
    Nanoseconds m_lastExplicit{0};
    std::int64_t m_sinceExplicit = 0;
    Nanoseconds m_previous{0};
};

// Every update of a log held in memory, or its first problem. For tests and small logs.
ReplayResult parsePacketLog(std::string_view text, const std::string& fileName);

} // namespace velorin

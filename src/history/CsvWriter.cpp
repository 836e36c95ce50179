#include "history/CsvWriter.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <string>

namespace velorin {

namespace {

constexpr std::size_t pieceBytes = std::size_t{1} << 20;

void appendMilliseconds(std::string& out, std::int64_t ms)
{
    char text[32];
    const bool negative = ms < 0;
    const std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-ms) : static_cast<std::uint64_t>(ms);
    char* end = std::to_chars(text, text + sizeof text, magnitude / 1000).ptr;
    const unsigned fraction = static_cast<unsigned>(magnitude % 1000);
    *end++ = '.';
    *end++ = static_cast<char>('0' + fraction / 100);
    *end++ = static_cast<char>('0' + fraction / 10 % 10);
    *end++ = static_cast<char>('0' + fraction % 10);
    if (negative)
        out += '-';
    out.append(text, end);
}

// Local "YYYY-MM-DDTHH:MM:SS" and "+HH:MM" of one second, worked out once per second: the zone
// look-up is by far the dearest part of a line.
class LocalSecond {
public:
    void set(std::int64_t second)
    {
        if (second == m_second)
            return;
        m_second = second;
        std::time_t whole = static_cast<std::time_t>(second);
        std::tm t{};
        localtime_r(&whole, &t);
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                      t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
        m_dateTime = text;
        const long offset = t.tm_gmtoff;
        const long magnitude = offset < 0 ? -offset : offset;
        std::snprintf(text, sizeof text, "%c%02ld:%02ld", offset < 0 ? '-' : '+', magnitude / 3600,
                      magnitude / 60 % 60);
        m_offset = text;
    }
    const std::string& dateTime() const { return m_dateTime; }
    const std::string& offset() const { return m_offset; }

private:
    std::int64_t m_second = INT64_MIN;
    std::string m_dateTime;
    std::string m_offset;
};

} // namespace

bool writeCsv(const RecordingStream& stream, const std::function<bool(std::string_view)>& sink)
{
    std::string out = "time,seconds,value\n";
    out.reserve(pieceBytes + 256);
    LocalSecond local;
    std::size_t nextEvent = 0;
    std::size_t nextShort = 0;
    const auto writeEventsUpTo = [&](std::size_t packets) {
        for (; nextEvent < stream.events.size() && stream.events[nextEvent].packetsBefore <= packets; ++nextEvent) {
            const RecordingStream::Event& event = stream.events[nextEvent];
            out += "# event ";
            appendMilliseconds(out, static_cast<std::int64_t>(event.packetsBefore) * RecordingStream::packetMs);
            out += ' ';
            for (char c : event.activity) {
                if (c == ',')
                    out += "\\x2C";
                else
                    out += c;
            }
            out += '\n';
        }
    };
    for (std::size_t p = 0; p < stream.packets; ++p) {
        writeEventsUpTo(p);
        if (nextShort < stream.shortPackets.size() && stream.shortPackets[nextShort] == p) {
            ++nextShort;
            continue;
        }
        for (std::size_t k = 0; k < 14; ++k) {
            const std::int64_t fromStart = static_cast<std::int64_t>(p) * RecordingStream::packetMs +
                                           static_cast<std::int64_t>(k) * RecordingStream::sampleMs;
            const std::int64_t ms = stream.startMs + fromStart;
            const std::int64_t second = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
            const auto millis = static_cast<unsigned>(ms - second * 1000);
            local.set(second);
            out += local.dateTime();
            out += '.';
            out += static_cast<char>('0' + millis / 100);
            out += static_cast<char>('0' + millis / 10 % 10);
            out += static_cast<char>('0' + millis % 10);
            out += local.offset();
            out += ',';
            appendMilliseconds(out, fromStart);
            out += ',';
            char value[16];
            out.append(value, std::to_chars(value, value + sizeof value, stream.samples[p * 14 + k]).ptr);
            out += '\n';
        }
        if (out.size() >= pieceBytes) {
            if (!sink(out))
                return false;
            out.clear();
        }
    }
    writeEventsUpTo(stream.packets);
    return sink(out);
}

} // namespace velorin

#include "sensor/sim/PacketLogReader.h"

#include "platform/EscapedText.h"
#include "platform/HexDigit.h"
#include "platform/Seconds.h"

#include <algorithm>
#include <climits>
#include <optional>

namespace velorin {

namespace {

// The longest value a Bluetooth characteristic can have.
constexpr std::size_t longestValue = 512;

// The sensor's packet interval: the time an update takes when its line gives none.
constexpr Nanoseconds defaultInterval = std::chrono::milliseconds(112);
constexpr std::string_view defaultCharacteristic = "2A37";
constexpr std::size_t readBlockBytes = 65536;
// A token quoted in a message is cut to this many bytes: a message is for reading, and a line may
// be a megabyte long.
constexpr std::size_t quotedBytes = 64;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool isUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The token as typed; describe() makes it printable. A long one is cut at a character boundary.
std::string quoted(std::string_view s)
{
    if (s.size() <= quotedBytes)
        return "'" + std::string(s) + "'";
    std::size_t cut = quotedBytes;
    while (cut > 0 && isUtf8Continuation(s[cut]))
        --cut;
    return "'" + std::string(s.substr(0, cut)) + "...'";
}

// The character (all bytes of a UTF-8 sequence) that begins at `at`, so that a message names 'é'
// rather than half of it.
std::string_view characterAt(std::string_view s, std::size_t at)
{
    std::size_t end = at + 1;
    while (end < s.size() && end - at < 4 && isUtf8Continuation(s[end]))
        ++end;
    return s.substr(at, end - at);
}

// Whether text is written as seconds ("30", "30.016"), whatever its size.
bool isWrittenAsSeconds(std::string_view text)
{
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? "0" : text.substr(dot + 1);
    return !whole.empty() && !fraction.empty() && std::all_of(whole.begin(), whole.end(), isDigit) &&
           std::all_of(fraction.begin(), fraction.end(), isDigit);
}

struct ParsedLine {
    std::optional<Nanoseconds> at;
    std::string characteristic{defaultCharacteristic};
    std::vector<std::uint8_t> value;
};

// Returns the problem with the line, or nothing when `parsed` has been filled in.
std::optional<std::string> parseLine(std::string_view rest, ParsedLine& parsed)
{
    if (!rest.empty() && rest.front() == '@') {
        std::size_t end = 0;
        while (end < rest.size() && !isBlank(rest[end]))
            ++end;
        const std::string_view token = rest.substr(0, end);
        parsed.at = parseSeconds(token.substr(1));
        if (!parsed.at)
            return "bad time " + quoted(token) +
                   (isWrittenAsSeconds(token.substr(1)) ? ": longer than 100 years"
                                                        : ": expected seconds such as @30.016");
        rest = trim(rest.substr(end));
    }

    if (const std::size_t colon = rest.find(':'); colon != std::string_view::npos) {
        const std::string_view uuid = rest.substr(0, colon);
        bool valid = uuid.size() == 4;
        for (char c : uuid)
            valid = valid && hexDigitValue(c) >= 0;
        if (!valid)
            return "bad characteristic " + quoted(uuid) + ": expected four hex digits such as 2A37";
        parsed.characteristic.clear();
        for (char c : uuid)
            parsed.characteristic.push_back(c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c);
        rest = trim(rest.substr(colon + 1));
    }

    // Bytes may be written together or apart, but a byte is never split.
    while (!rest.empty()) {
        std::size_t end = 0;
        while (end < rest.size() && !isBlank(rest[end]))
            ++end;
        const std::string_view token = rest.substr(0, end);
        for (std::size_t i = 0; i < token.size(); ++i)
            if (hexDigitValue(token[i]) < 0)
                return quoted(characterAt(token, i)) + " is not a hex digit";
        if (token.size() % 2 != 0)
            return "odd number of hex digits in " + quoted(token);
        for (std::size_t i = 0; i < token.size(); i += 2)
            parsed.value.push_back(static_cast<std::uint8_t>(hexDigitValue(token[i]) << 4 | hexDigitValue(token[i + 1])));
        rest = trim(rest.substr(end));
    }
    // No characteristic value is longer, and the recording stream is read back on that promise.
    if (parsed.value.size() > longestValue)
        return "a value holds at most " + std::to_string(longestValue) + " bytes, not " +
               std::to_string(parsed.value.size());
    return std::nullopt;
}

} // namespace

PacketLogReader::PacketLogReader(std::unique_ptr<ByteReader> bytes, std::string fileName)
    : m_bytes(std::move(bytes)), m_fileName(std::move(fileName))
{
}

std::optional<ReplayUpdate> PacketLogReader::fail(std::string message, int line)
{
    m_error = ReplayError{m_fileName, line, std::move(message), std::nullopt};
    m_buffer = std::string(); // a failed log is read no further; its buffer may be a megabyte
    return std::nullopt;
}

bool PacketLogReader::fill()
{
    // The consumed lines go first, so the buffer holds at most the line in hand and what is read for it.
    m_buffer.erase(0, m_lineStart);
    m_scanned -= m_lineStart;
    m_lineStart = 0;
    // Never more than one byte past the longest line: that byte tells whether the line goes on.
    const std::size_t want = std::min(readBlockBytes, maxLineBytes + 1 - m_buffer.size());
    const std::size_t had = m_buffer.size();
    m_buffer.resize(had + want);
    FileResult result;
    const std::size_t got = std::min(m_bytes->read(m_buffer.data() + had, want, result), want);
    m_buffer.resize(had + got);
    if (got == 0) {
        if (!result.ok) {
            fail("cannot read " + m_fileName + ": " + result.error, 0);
            return false;
        }
        m_atEnd = true;
    }
    return true;
}

std::optional<std::string_view> PacketLogReader::nextLine()
{
    for (;;) {
        const std::size_t newline = m_buffer.find('\n', m_scanned);
        const std::size_t length = (newline == std::string::npos ? m_buffer.size() : newline) - m_lineStart;
        if (length > maxLineBytes) {
            fail("line longer than " + std::to_string(maxLineBytes) + " bytes", m_lineNumber + 1);
            return std::nullopt;
        }
        if (newline != std::string::npos || (m_atEnd && length > 0)) {
            if (m_lineNumber == INT_MAX) {
                fail("more lines than can be counted", INT_MAX);
                return std::nullopt;
            }
            ++m_lineNumber;
            const std::string_view line(m_buffer.data() + m_lineStart, length);
            m_lineStart = m_scanned = m_lineStart + length + (newline == std::string::npos ? 0 : 1);
            return line;
        }
        m_scanned = m_buffer.size();
        if (m_atEnd || !fill())
            return std::nullopt;
    }
}

std::optional<ReplayUpdate> PacketLogReader::next()
{
    if (m_error)
        return std::nullopt;
    while (std::optional<std::string_view> text = nextLine()) {
        std::string_view line = *text;
        if (m_lineNumber == 1)
            line = withoutByteOrderMark(line);
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        line = trim(line);
        if (line.empty())
            continue;

        ParsedLine parsed;
        if (auto problem = parseLine(line, parsed))
            return fail(std::move(*problem), m_lineNumber);

        Nanoseconds at{0};
        if (parsed.at) {
            at = *parsed.at;
            if (at < m_previous)
                return fail("time " + formatSeconds(at) + " is earlier than the previous update's " +
                                formatSeconds(m_previous),
                            m_lineNumber);
            m_lastExplicit = at;
            m_sinceExplicit = 0;
        } else {
            // Counted in whole steps, so the limit is found without ever computing a time past it.
            if (m_sinceExplicit >= (longestSpan - m_lastExplicit) / defaultInterval)
                return fail("the log runs longer than 100 years", m_lineNumber);
            ++m_sinceExplicit;
            at = m_lastExplicit + defaultInterval * m_sinceExplicit;
        }
        m_previous = at;
        return ReplayUpdate{at, std::move(parsed.characteristic), std::move(parsed.value)};
    }
    return std::nullopt;
}

ReplayResult parsePacketLog(std::string_view text, const std::string& fileName)
{
    PacketLogReader reader(std::make_unique<StringReader>(std::string(text)), fileName);
    return readAllUpdates(reader);
}

} // namespace velorin

#include "sensor/sim/PacketLog.h"

#include "platform/Seconds.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

namespace velorin {

namespace {

// The sensor's packet interval: the time an update takes when its line gives none.
constexpr Nanoseconds defaultInterval = std::chrono::milliseconds(112);
constexpr std::string_view defaultCharacteristic = "2A37";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string quoted(std::string_view s)
{
    return "'" + std::string(s) + "'";
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
            return "bad time " + quoted(token) + ": expected seconds such as @30.016";
        rest = trim(rest.substr(end));
    }

    if (const std::size_t colon = rest.find(':'); colon != std::string_view::npos) {
        const std::string_view uuid = rest.substr(0, colon);
        bool valid = uuid.size() == 4;
        for (char c : uuid)
            valid = valid && hexValue(c) >= 0;
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
        for (char c : token)
            if (hexValue(c) < 0)
                return quoted(std::string_view(&c, 1)) + " is not a hex digit";
        if (token.size() % 2 != 0)
            return "odd number of hex digits in " + quoted(token);
        for (std::size_t i = 0; i < token.size(); i += 2)
            parsed.value.push_back(static_cast<std::uint8_t>(hexValue(token[i]) << 4 | hexValue(token[i + 1])));
        rest = trim(rest.substr(end));
    }
    return std::nullopt;
}

} // namespace

ReplayResult parsePacketLog(std::string_view text, const std::string& fileName)
{
    std::vector<ReplayUpdate> updates;
    // A log is mostly one update per line; reserving up front saves regrowing a day's worth.
    updates.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    // Implicit times count from the last explicit one rather than adding 0.112 line by line, so a
    // long log does not accumulate rounding.
    Nanoseconds lastExplicit{0};
    std::int64_t sinceExplicit = 0;
    Nanoseconds previous{0};

    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);

        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        line = trim(line);
        if (line.empty())
            continue;

        ParsedLine parsed;
        if (auto problem = parseLine(line, parsed))
            return ReplayError{fileName, lineNumber, std::move(*problem), std::nullopt};

        Nanoseconds at{0};
        if (parsed.at) {
            at = *parsed.at;
            if (at < previous)
                return ReplayError{fileName, lineNumber,
                                   "time " + formatSeconds(at) + " is earlier than the previous update's " +
                                       formatSeconds(previous),
                                   std::nullopt};
            lastExplicit = at;
            sinceExplicit = 0;
        } else {
            ++sinceExplicit;
            at = lastExplicit + defaultInterval * sinceExplicit;
            if (at > longestSpan)
                return ReplayError{fileName, lineNumber, "the log runs longer than 100 years", std::nullopt};
        }
        previous = at;
        updates.push_back(ReplayUpdate{at, std::move(parsed.characteristic), std::move(parsed.value)});
    }
    return updates;
}

} // namespace velorin

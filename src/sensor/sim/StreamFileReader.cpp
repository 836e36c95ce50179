#include "sensor/sim/StreamFileReader.h"

#include "sensor/SensorProfile.h"
#include "signal/PacketLayout.h"

namespace velorin {

namespace {

constexpr Nanoseconds packetInterval = std::chrono::milliseconds(112);

// The pieces a stream file is made of. None has a length or a terminator, so a piece whose length
// is not fixed ends where the next one begins.
constexpr std::string_view recordLead = "10022";
constexpr std::string_view errorLead = "Error in communication timestamp: ";
constexpr std::string_view headerLead{"!2\x01", 3};
constexpr std::string_view headerEnd = "Header end";
constexpr std::string_view annotationLead = "101168";
constexpr std::string_view annotationMiddle = "1033101197";
constexpr std::string_view stampPattern = "dddd-dd-dd_dddddd";
// An annotation's time is printed with %f: always six decimals. Knowing that is what tells the
// number apart from the digits of annotationMiddle that follow it directly.
constexpr std::size_t annotationDecimals = 6;

bool startsWith(std::string_view bytes, std::size_t at, std::string_view lead)
{
    return bytes.substr(at, lead.size()) == lead;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool startsPiece(std::string_view bytes, std::size_t at)
{
    return startsWith(bytes, at, recordLead) || startsWith(bytes, at, errorLead) || startsWith(bytes, at, headerLead) ||
           startsWith(bytes, at, annotationLead);
}

std::size_t nextPiece(std::string_view bytes, std::size_t from)
{
    for (std::size_t at = from; at < bytes.size(); ++at)
        if (startsPiece(bytes, at))
            return at;
    return bytes.size();
}

bool isStamp(std::string_view bytes, std::size_t at)
{
    if (bytes.size() - at < stampPattern.size())
        return false;
    for (std::size_t i = 0; i < stampPattern.size(); ++i) {
        const char c = bytes[at + i];
        if (stampPattern[i] == 'd' ? !isDigit(c) : c != stampPattern[i])
            return false;
    }
    return true;
}

// The end of an annotation's fixed part (lead, time and middle), or nothing when it is malformed.
std::optional<std::size_t> annotationFixedEnd(std::string_view bytes, std::size_t at)
{
    std::size_t i = at + annotationLead.size();
    if (i < bytes.size() && bytes[i] == '-')
        ++i;
    const std::size_t whole = i;
    while (i < bytes.size() && isDigit(bytes[i]))
        ++i;
    if (i == whole || i >= bytes.size() || bytes[i] != '.')
        return std::nullopt;
    ++i;
    for (std::size_t d = 0; d < annotationDecimals; ++d, ++i)
        if (i >= bytes.size() || !isDigit(bytes[i]))
            return std::nullopt;
    if (!startsWith(bytes, i, annotationMiddle))
        return std::nullopt;
    return i + annotationMiddle.size();
}

ReplayResult parseStreamBytes(std::string_view bytes, const std::string& fileName)
{
    std::vector<ReplayUpdate> updates;
    updates.reserve(bytes.size() / (recordLead.size() + standardPacketLength));
    const auto addPacket = [&](std::string_view packet) {
        updates.push_back(ReplayUpdate{packetInterval * static_cast<std::int64_t>(updates.size() + 1),
                                       std::string(profile::ecgPacket),
                                       std::vector<std::uint8_t>(packet.begin(), packet.end())});
    };
    const auto fail = [&](std::size_t offset, std::string message) -> ReplayResult {
        return ReplayError{fileName, 0, std::move(message), offset};
    };

    std::size_t at = 0;
    while (at < bytes.size()) {
        if (startsWith(bytes, at, recordLead)) {
            const std::size_t body = at + recordLead.size();
            if (bytes.size() - body < standardPacketLength)
                return fail(at, "packet record cut short: " + std::to_string(bytes.size() - body) + " of " +
                                    std::to_string(standardPacketLength) + " bytes");
            addPacket(bytes.substr(body, standardPacketLength));
            at = body + standardPacketLength;
        } else if (startsWith(bytes, at, errorLead)) {
            // The stamp is missing when the error came before the recorder's first flush.
            std::size_t record = at + errorLead.size();
            if (isStamp(bytes, record))
                record += stampPattern.size();
            if (!startsWith(bytes, record, recordLead))
                return fail(record, "error text not followed by a packet record");
            const std::size_t body = record + recordLead.size();
            const std::size_t end = nextPiece(bytes, body);
            if (end - body >= minimumPacketLength)
                return fail(record, "packet record after an error text holds " + std::to_string(end - body) +
                                        " bytes; a short packet has fewer than " + std::to_string(minimumPacketLength));
            addPacket(bytes.substr(body, end - body));
            at = end;
        } else if (startsWith(bytes, at, headerLead)) {
            const std::size_t end = bytes.find(headerEnd, at + headerLead.size());
            if (end == std::string_view::npos)
                return fail(at, "header without its end");
            at = end + headerEnd.size();
        } else if (startsWith(bytes, at, annotationLead)) {
            const auto title = annotationFixedEnd(bytes, at);
            if (!title)
                return fail(at, "malformed event annotation");
            at = nextPiece(bytes, *title);
        } else {
            return fail(at, "unrecognised bytes");
        }
    }
    return updates;
}

} // namespace

StreamFileReader::StreamFileReader(std::unique_ptr<ByteReader> bytes, std::string fileName)
    : m_bytes(std::move(bytes)), m_fileName(std::move(fileName))
{
}

std::optional<ReplayUpdate> StreamFileReader::next()
{
    if (!m_parsed) {
        m_parsed = true;
        std::string all;
        char block[65536];
        FileResult result;
        while (const std::size_t n = m_bytes->read(block, sizeof block, result))
            all.append(block, n);
        if (!result.ok) {
            m_error = ReplayError{m_fileName, 0, "cannot read " + m_fileName + ": " + result.error, std::nullopt};
            return std::nullopt;
        }
        ReplayResult parsed = parseStreamBytes(all, m_fileName);
        if (auto* error = std::get_if<ReplayError>(&parsed)) {
            m_error = *error;
            return std::nullopt;
        }
        m_updates = std::move(std::get<0>(parsed));
    }
    if (m_next >= m_updates.size())
        return std::nullopt;
    return std::move(m_updates[m_next++]);
}

ReplayResult parseStreamFile(std::string_view bytes, const std::string& fileName)
{
    StreamFileReader reader(std::make_unique<StringReader>(std::string(bytes)), fileName);
    return readAllUpdates(reader);
}

} // namespace velorin

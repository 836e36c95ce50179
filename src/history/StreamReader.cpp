#include "history/StreamReader.h"

#include "platform/EscapedText.h"
#include "platform/LocalTime.h"
#include "signal/StreamFormat.h"

#include <cmath>

namespace velorin {

namespace {

using namespace streamFormat;

// Stamps are 17 characters; room for any other form the writer used before its first flush.
constexpr std::size_t longestErrorStamp = 64;
constexpr std::size_t longestHeaderLine = 256;
// Titles come from a short fixed list; anything far longer is not worth carrying into a TAL per record.
constexpr std::size_t longestActivity = 200;

enum class Match { yes, no, cut };

class Parser {
public:
    explicit Parser(std::string_view bytes) : m_bytes(bytes) {}

    std::optional<RecordingStream> run(std::string& problem);

private:
    Match literal(std::size_t at, std::string_view text) const
    {
        const std::size_t available = m_bytes.size() - at;
        const std::size_t compared = std::min(available, text.size());
        if (m_bytes.compare(at, compared, text.substr(0, compared)) != 0)
            return Match::no;
        return compared < text.size() ? Match::cut : Match::yes;
    }

    // Whether the next piece may begin at `at`: a lead, the end, or a lead that the end cuts (what
    // follows it is missing, so it is not taken into the packet before it).
    bool pieceBoundary(std::size_t at) const
    {
        if (at > m_bytes.size())
            return false;
        return at == m_bytes.size() || pieceLeadAt(m_bytes, at) != LeadAt::none;
    }

    std::size_t nextPiece(std::size_t from) const
    {
        for (std::size_t at = from; at < m_bytes.size(); ++at)
            if (pieceLeadAt(m_bytes, at) != LeadAt::none)
                return at;
        return m_bytes.size();
    }

    // A line of header text after its lead, up to its line feed, which leads in the next line.
    Match headerLine(std::size_t& at, std::string_view lead, std::string* text)
    {
        if (const Match m = literal(at, lead); m != Match::yes)
            return m;
        at += lead.size();
        const std::size_t end = m_bytes.find('\n', at);
        if (end == std::string_view::npos || end - at > longestHeaderLine)
            return m_bytes.size() - at <= longestHeaderLine ? Match::cut : Match::no;
        if (text)
            *text = std::string(m_bytes.substr(at, end - at));
        at = end;
        return Match::yes;
    }

    // The lines whose values an export does not use are known by their length bytes alone.
    static std::string_view lengthBytesOf(std::string_view lead)
    {
        return lead.substr(0, (lead.front() == '\n' ? 1 : 0) + lineLengthBytes);
    }

    Match header(std::size_t& at, std::string& sensorId, std::string& stamp)
    {
        at += headerLead.size();
        for (auto [lead, text] : {std::pair<std::string_view, std::string*>{lengthBytesOf(softwareLead), nullptr},
                                  {identifierLead, &sensorId},
                                  {dateLead, &stamp},
                                  {timeLead, nullptr},
                                  {lengthBytesOf(zoneLead), nullptr},
                                  {lengthBytesOf(firmwareLead), nullptr}})
            if (const Match m = headerLine(at, lead, text); m != Match::yes)
                return m;
        const Match end = literal(at, headerClose);
        if (end == Match::yes)
            at += headerClose.size();
        return end;
    }

    Match annotation(std::size_t& at)
    {
        std::size_t p = at + annotationLead.size();
        const auto digits = [&](std::size_t least, std::size_t most) {
            const std::size_t from = p;
            while (p < m_bytes.size() && p - from < most && m_bytes[p] >= '0' && m_bytes[p] <= '9')
                ++p;
            if (p == m_bytes.size() && p - from < most)
                return Match::cut;
            return p - from >= least ? Match::yes : Match::no;
        };
        if (const Match m = digits(1, 20); m != Match::yes)
            return m;
        if (const Match m = literal(p, "."); m != Match::yes)
            return m;
        ++p;
        if (const Match m = digits(annotationDecimals, annotationDecimals); m != Match::yes)
            return m;
        if (const Match m = literal(p, annotationMiddle); m != Match::yes)
            return m;
        p += annotationMiddle.size();
        const std::size_t end = nextPiece(p);
        // Escaping grows a title, never shrinks it: a few bytes past the limit decide its kept part
        // (a character is at most 4 bytes), so a title of a gigabyte is not escaped whole.
        std::string activity = escapeControl(m_bytes.substr(p, std::min(end - p, longestActivity + 8)));
        if (activity.size() > longestActivity) {
            std::size_t cut = longestActivity;
            while (cut > 0 && (static_cast<unsigned char>(activity[cut]) & 0xC0) == 0x80)
                --cut;
            // Nor is an escape "\xHH" cut in two: its backslash and "x" would end the title.
            for (std::size_t back = 1; back <= 3 && back <= cut; ++back)
                if (activity[cut - back] == '\\') {
                    cut -= back;
                    break;
                }
            activity.resize(cut);
            m_stream.warnings.push_back("an activity title was cut to " + std::to_string(cut) + " bytes");
        }
        m_stream.events.push_back({m_stream.packets, std::move(activity)});
        at = end;
        return Match::yes;
    }

    void addPacket(std::size_t at, std::size_t length, bool isShort)
    {
        std::int16_t* out = nullptr;
        m_stream.samples.resize(m_stream.samples.size() + samplesPerPacket);
        out = m_stream.samples.data() + m_stream.samples.size() - samplesPerPacket;
        if (isShort || length < minimumPacketLength) {
            m_stream.shortPackets.push_back(m_stream.packets);
            const std::int16_t held = m_haveSample ? m_stream.samples[m_stream.samples.size() - samplesPerPacket - 1] : 0;
            std::fill(out, out + samplesPerPacket, held);
        } else {
            const PacketSamples s =
                unpackSamples({reinterpret_cast<const std::uint8_t*>(m_bytes.data() + at), length});
            for (std::size_t k = 0; k < samplesPerPacket; ++k)
                out[k] = static_cast<std::int16_t>(s[k]);
            if (!m_haveSample) {
                // Short packets before the first full one have nothing to repeat: they take its first sample.
                std::fill(m_stream.samples.begin(), m_stream.samples.end() - samplesPerPacket, out[0]);
                m_haveSample = true;
            }
        }
        ++m_stream.packets;
    }

    void stopAt(std::size_t at, const std::string& why)
    {
        m_stream.warnings.push_back(why + " at byte " + std::to_string(at) + "; the " +
                                    std::to_string(m_bytes.size() - at) + " bytes from there are left out");
    }

    std::string_view m_bytes;
    RecordingStream m_stream;
    bool m_haveSample = false;
};

std::optional<RecordingStream> Parser::run(std::string& problem)
{
    std::size_t packetsBeforeHeader = 0;
    bool haveHeader = false;
    bool nextShort = false;
    std::size_t at = 0;
    while (at < m_bytes.size()) {
        if (literal(at, annotationLead) == Match::yes) {
            const Match m = annotation(at);
            if (m != Match::yes) {
                stopAt(at, m == Match::cut ? "the file ends inside an event annotation"
                                           : "an event annotation is damaged");
                break;
            }
        } else if (literal(at, recordLead) == Match::yes) {
            const std::size_t body = at + recordLead.size();
            const PacketLengths lengths = packetLengths(nextShort);
            std::size_t length = std::string_view::npos;
            if (!nextShort && pieceBoundary(body + standardPacketLength))
                length = standardPacketLength;
            for (std::size_t l = lengths.shortest; l <= lengths.longest && length == std::string_view::npos; ++l)
                if (pieceBoundary(body + l))
                    length = l;
            if (length == std::string_view::npos) {
                stopAt(at, m_bytes.size() - body < standardPacketLength ? "the file ends inside a packet record"
                                                                         : "a packet record is damaged");
                break;
            }
            addPacket(body, length, nextShort);
            nextShort = false;
            at = body + length;
        } else if (literal(at, errorLead) == Match::yes) {
            const std::size_t from = at + errorLead.size();
            const std::size_t record =
                m_bytes.substr(0, std::min(m_bytes.size(), from + longestErrorStamp + recordLead.size()))
                    .find(recordLead, from);
            if (record == std::string_view::npos) {
                stopAt(at, m_bytes.size() - from < longestErrorStamp ? "the file ends inside a short packet's note"
                                                                      : "a short packet's note is damaged");
                break;
            }
            nextShort = true;
            at = record;
        } else if (literal(at, headerLead) == Match::yes) {
            if (haveHeader) {
                stopAt(at, "a second recording begins");
                break;
            }
            std::size_t end = at;
            const Match m = header(end, m_stream.sensorId, m_stream.stamp);
            if (m != Match::yes) {
                problem = m == Match::cut ? "the file ends inside its header" : "the header is damaged";
                return std::nullopt;
            }
            haveHeader = true;
            packetsBeforeHeader = m_stream.packets;
            at = end;
        } else {
            const bool cut = pieceLeadAt(m_bytes, at) == LeadAt::cut;
            stopAt(at, cut ? "the file ends inside a record" : "unreadable bytes begin");
            break;
        }
    }
    if (!haveHeader) {
        problem = "the stream has no header (its first flush never came), so its start time is unknown";
        return std::nullopt;
    }
    if (m_stream.packets == 0) {
        problem = "the stream holds no packet";
        return std::nullopt;
    }
    const std::string& s = m_stream.stamp;
    std::string local;
    if (s.size() == 17 && s[10] == '_')
        local = s.substr(0, 10) + "T" + s.substr(11, 2) + ":" + s.substr(13, 2) + ":" + s.substr(15, 2);
    std::optional<double> stampSeconds = parseLocalDateTime(local);
    // A stream written by a clock in another zone may name a time that this zone's clock skips.
    if (!stampSeconds) {
        stampSeconds = parseLocalDateTimeAcrossGaps(local);
        if (stampSeconds)
            m_stream.warnings.push_back("the header's stamp " + s +
                                        " does not exist in the local time zone (a daylight-saving change skips it); "
                                        "the start is taken as " + formatDateTime(*stampSeconds));
    }
    if (!stampSeconds) {
        problem = "the header's stamp \"" + escapeControl(s) + "\" is not a date";
        return std::nullopt;
    }
    m_stream.startMs = std::llround(*stampSeconds * 1000.0) -
                       RecordingStream::packetMs * static_cast<std::int64_t>(packetsBeforeHeader);
    return std::move(m_stream);
}

} // namespace

std::optional<RecordingStream> readRecordingStream(std::string_view bytes, std::string& problem)
{
    return Parser(bytes).run(problem);
}

} // namespace velorin

#include "sensor/sim/StreamFileReader.h"

#include "sensor/SensorProfile.h"
#include "signal/StreamFormat.h"

#include <algorithm>

namespace velorin {

namespace {

using namespace streamFormat;

constexpr Nanoseconds packetInterval = std::chrono::milliseconds(112);

// The writer puts an error text before every packet too short to decode, and before no other.
constexpr PacketLengths fullPacket = packetLengths(false);
constexpr PacketLengths shortPacket = packetLengths(true);

// Bounds on the parts of unbounded length, so that a piece is judged within a bounded window.
constexpr std::size_t longestWholeDigits = 32;
constexpr std::size_t longestTitle = 4096;
constexpr std::size_t longestIdentifier = 4096;
constexpr std::size_t longestHeaderValue = 256;
constexpr std::size_t longestHeaderStamp = 64;

constexpr std::size_t headerOpening = headerLead.size() + softwareLead.size();
constexpr std::size_t longestHeader = headerOpening + longestHeaderValue + identifierLead.size() +
                                      longestIdentifier + dateLead.size() + longestHeaderStamp + timeLead.size() +
                                      longestHeaderStamp + zoneLead.size() + longestHeaderValue + firmwareLead.size() +
                                      longestHeaderValue + headerClose.size();
constexpr std::size_t longestAnnotation = annotationLead.size() + 1 + longestWholeDigits + 1 + annotationDecimals +
                                          annotationMiddle.size() + longestTitle + 4;
constexpr std::size_t longestRecord =
    std::max(recordLead.size() + fullPacket.longest,
             errorLead.size() + stampPattern.size() + recordLead.size() + shortPacket.longest);
constexpr std::size_t longestPiece = std::max({longestHeader, longestAnnotation, longestRecord});

// How many bytes of each piece are the writer's fixed text. A reading is judged by these alone: the
// digits of a time or a stamp, a title, an identifier or a header's values are free text, and a
// reading that took a real piece's lead for such text must not gain by it.
constexpr std::int64_t recordWeight = recordLead.size();
constexpr std::int64_t stampWeight = 3; // its dashes and underscore
constexpr std::int64_t errorTextWeight = errorLead.size() + recordWeight;
constexpr std::int64_t annotationWeight = annotationLead.size() + 1 + annotationMiddle.size();
constexpr std::int64_t headerWeight = headerOpening + identifierLead.size() + dateLead.size() + timeLead.size() +
                                      zoneLead.size() + firmwareLead.size() + headerClose.size();

// Readings are followed this far past the piece in hand (about 300 ordinary records). The window
// holds that, the longest piece that may start within it and the lead after that piece.
constexpr std::size_t lookahead = 8192;
constexpr std::size_t lookaheadMargin = longestPiece + longestLead;
// Places examined for one choice at most, so that bytes dense with leads cannot make it slow.
constexpr std::size_t longestSearch = 4096;
constexpr std::size_t windowBlock = 65536;

constexpr std::uint32_t noRival = UINT32_MAX;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool startsWith(std::string_view bytes, std::size_t at, std::string_view text)
{
    return at <= bytes.size() && bytes.size() - at >= text.size() && bytes.substr(at, text.size()) == text;
}

} // namespace

StreamFileReader::StreamFileReader(std::unique_ptr<ByteReader> bytes, std::string fileName)
    : m_bytes(std::move(bytes)), m_fileName(std::move(fileName))
{
}

std::optional<ReplayUpdate> StreamFileReader::next()
{
    while (!m_error) {
        if (!fill(m_at + lookahead + lookaheadMargin))
            return std::nullopt;
        if (m_windowAtEnd && m_at == windowEnd())
            return std::nullopt;
        if (const std::size_t end = plainRecordEnd(m_at)) {
            const std::size_t body = m_at + recordLead.size();
            m_at = end;
            return packetUpdate(body, end);
        }
        const Piece piece = readPiece(m_at, m_choices);
        if (m_choices.empty()) {
            fail(piece.failure);
            return std::nullopt;
        }
        std::uint32_t choice = 0;
        if (m_choices.size() > 1) {
            const Verdict verdict = choose(m_at + lookahead);
            if (verdict.kind == Verdict::Kind::Dead) {
                fail(verdict.failure);
                return std::nullopt;
            }
            if (verdict.kind == Verdict::Kind::Ambiguous) {
                failAmbiguous(piece, verdict);
                return std::nullopt;
            }
            choice = verdict.choice;
        }
        m_at = m_choices[choice].at;
        if (piece.kind == Kind::Packet || piece.kind == Kind::ShortPacket)
            return packetUpdate(piece.body, m_at);
    }
    return std::nullopt;
}

ReplayUpdate StreamFileReader::packetUpdate(std::size_t body, std::size_t end)
{
    const char* first = m_window.data() + (body - m_windowStart);
    ++m_packets;
    return ReplayUpdate{packetInterval * m_packets, std::string(profile::ecgPacket),
                        std::vector<std::uint8_t>(first, first + (end - body))};
}

// --- The window --------------------------------------------------------------------------------

bool StreamFileReader::fill(std::size_t through)
{
    // Nothing before the next piece is looked at again.
    if (m_at - m_windowStart >= windowBlock) {
        m_window.erase(0, m_at - m_windowStart);
        m_windowStart = m_at;
        m_leads.erase(m_leads.begin(), std::lower_bound(m_leads.begin(), m_leads.end(), m_at));
    }
    if (!m_windowAtEnd && windowEnd() < through && m_block.empty())
        m_block.resize(windowBlock);
    while (!m_windowAtEnd && windowEnd() < through) {
        FileResult result;
        const std::size_t n = std::min(m_bytes->read(m_block.data(), m_block.size(), result), m_block.size());
        if (n == 0) {
            if (!result.ok) {
                m_error = ReplayError{m_fileName, 0, "cannot read " + m_fileName + ": " + result.error, std::nullopt};
                return false;
            }
            m_windowAtEnd = true;
        }
        m_window.append(m_block.data(), n);
    }
    findLeads();
    return true;
}

void StreamFileReader::findLeads()
{
    // A lead is known only once all its bytes are in, or the file ends before them. A lead that the
    // file's end cuts is no lead: its bytes are read into the piece before it.
    const std::size_t last = m_windowAtEnd ? windowEnd() : windowEnd() - std::min(windowEnd(), longestLead - 1);
    const std::string_view window = m_window;
    for (std::size_t at = std::max(m_leadsFound, m_windowStart); at < last; ++at)
        if (pieceLeadAt(window, at - m_windowStart) == LeadAt::whole)
            m_leads.push_back(at);
    m_leadsFound = std::max(m_leadsFound, last);
}

bool StreamFileReader::isAt(std::size_t at, std::string_view text) const
{
    return startsWith(m_window, at - m_windowStart, text);
}

bool StreamFileReader::isStamp(std::size_t at) const
{
    if (at + stampPattern.size() > windowEnd())
        return false;
    for (std::size_t i = 0; i < stampPattern.size(); ++i) {
        const char c = m_window[at - m_windowStart + i];
        if (stampPattern[i] == 'd' ? !isDigit(c) : c != stampPattern[i])
            return false;
    }
    return true;
}

// The place of the first line feed at or after `from` and at most `longest` bytes on, or npos.
std::size_t StreamFileReader::lineEnd(std::size_t from, std::size_t longest) const
{
    if (from > windowEnd())
        return std::string_view::npos;
    const std::string_view rest = std::string_view(m_window).substr(from - m_windowStart, longest + 1);
    const std::size_t at = rest.find('\n');
    return at == std::string_view::npos ? at : from + at;
}

// The length of the text character at a place: a UTF-8 sequence that is not a control character;
// 0 for anything else.
std::size_t StreamFileReader::textCharLength(std::size_t at) const
{
    if (at >= windowEnd())
        return 0;
    const std::string_view bytes = std::string_view(m_window).substr(at - m_windowStart, 4);
    const auto byte = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u; };
    const auto continues = [&](std::size_t i, unsigned low, unsigned high) {
        return byte(i) >= low && byte(i) <= high;
    };
    const unsigned first = byte(0);
    if (first < 0x20 || first == 0x7F)
        return 0;
    if (first < 0x80)
        return 1;
    if (first == 0xC2) // C1 control characters are U+0080 to U+009F
        return continues(1, 0xA0, 0xBF) ? 2 : 0;
    if (first >= 0xC3 && first <= 0xDF)
        return continues(1, 0x80, 0xBF) ? 2 : 0;
    if (first >= 0xE0 && first <= 0xEF) {
        const unsigned low = first == 0xE0 ? 0xA0 : 0x80, high = first == 0xED ? 0x9F : 0xBF;
        return continues(1, low, high) && continues(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (first >= 0xF0 && first <= 0xF4) {
        const unsigned low = first == 0xF0 ? 0x90 : 0x80, high = first == 0xF4 ? 0x8F : 0xBF;
        return continues(1, low, high) && continues(2, 0x80, 0xBF) && continues(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

// --- The pieces --------------------------------------------------------------------------------

// The piece that begins at a place, with every place it may end at (in order) in `ends`.
StreamFileReader::Piece StreamFileReader::readPiece(std::size_t at, std::vector<End>& ends) const
{
    ends.clear();
    Piece piece;
    piece.start = at;
    if (isAt(at, recordLead)) {
        piece.kind = Kind::Packet;
        readRecordEnds(piece, at, false, recordWeight, ends);
    } else if (isAt(at, errorLead)) {
        piece.kind = Kind::ShortPacket;
        std::size_t record = at + errorLead.size();
        std::int64_t weight = errorTextWeight;
        // A stamp's fifth byte is '-', never the '2' of a record lead, so the stamp is there or not.
        if (isStamp(record)) {
            record += stampPattern.size();
            weight += stampWeight;
        }
        if (!isAt(record, recordLead)) {
            piece.failure = {record, Fault::ErrorTextAlone, 0};
            return piece;
        }
        readRecordEnds(piece, record, true, weight, ends);
    } else if (isAt(at, headerLead)) {
        piece.kind = Kind::Header;
        readHeaderEnds(piece, ends);
    } else if (isAt(at, annotationLead)) {
        piece.kind = Kind::Annotation;
        readAnnotationEnds(piece, ends);
    } else {
        piece.failure = {at, Fault::Unrecognised, 0};
    }
    return piece;
}

void StreamFileReader::readRecordEnds(Piece& piece, std::size_t record, bool afterErrorText, std::int64_t weight,
                                      std::vector<End>& ends) const
{
    piece.start = record;
    piece.body = record + recordLead.size();
    const PacketLengths lengths = packetLengths(afterErrorText);
    addEnds(piece.body + lengths.shortest, piece.body + lengths.longest, weight, ends);
    if (!ends.empty())
        return;
    const bool cutShort = m_windowAtEnd && windowEnd() < piece.body + lengths.shortest;
    if (afterErrorText)
        piece.failure = {record, Fault::ShortRecordTooLong, 0};
    else
        piece.failure = {record, cutShort ? Fault::RecordCutShort : Fault::RecordWithoutEnd, windowEnd() - piece.body};
}

// The header's length bytes do not match its lines, and the sensor identifier may hold any bytes,
// so only the lines after the identifier, with the same stamp on the date and the time line, tell
// where a header ends. The values of the software, time zone and firmware lines are taken as any
// text, so that another build of the writer still reads.
void StreamFileReader::readHeaderEnds(Piece& piece, std::vector<End>& ends) const
{
    const std::size_t start = piece.start;
    const std::size_t software = start + headerOpening;
    const std::size_t softwareEnd = isAt(start, headerLead) && isAt(start + headerLead.size(), softwareLead)
                                        ? lineEnd(software, longestHeaderValue)
                                        : std::string_view::npos;
    if (softwareEnd == std::string_view::npos || !isAt(softwareEnd, identifierLead)) {
        piece.failure = {start, Fault::MalformedHeader, 0};
        return;
    }
    piece.body = softwareEnd + identifierLead.size();
    const std::string_view candidates =
        std::string_view(m_window).substr(piece.body - m_windowStart, longestIdentifier + dateLead.size());
    for (std::size_t at = candidates.find(dateLead); at != std::string_view::npos;
         at = candidates.find(dateLead, at + 1)) {
        if (const std::size_t end = headerTailEnd(piece.body + at))
            ends.push_back({end, headerWeight});
    }
    std::sort(ends.begin(), ends.end(), [](const End& a, const End& b) { return a.at < b.at; });
    if (ends.empty())
        piece.failure = {start, Fault::HeaderWithoutEnd, 0};
}

// The end of a header whose identifier ends at `tail`, or 0 when its fixed lines do not follow there.
std::size_t StreamFileReader::headerTailEnd(std::size_t tail) const
{
    std::size_t at = tail + dateLead.size();
    const std::size_t stampEnd = lineEnd(at, longestHeaderStamp);
    if (stampEnd == std::string_view::npos)
        return 0;
    const std::string_view stamp = std::string_view(m_window).substr(at - m_windowStart, stampEnd - at);
    at = stampEnd;
    if (!isAt(at, timeLead) || !isAt(at + timeLead.size(), stamp))
        return 0;
    at += timeLead.size() + stamp.size();
    if (!isAt(at, zoneLead))
        return 0;
    at = lineEnd(at + zoneLead.size(), longestHeaderValue);
    if (at == std::string_view::npos || !isAt(at, firmwareLead))
        return 0;
    at = lineEnd(at + firmwareLead.size(), longestHeaderValue);
    if (at == std::string_view::npos || !isAt(at, headerClose))
        return 0;
    return at + headerClose.size();
}

void StreamFileReader::readAnnotationEnds(Piece& piece, std::vector<End>& ends) const
{
    const std::size_t start = piece.start;
    const auto digitAt = [&](std::size_t at) { return at < windowEnd() && isDigit(m_window[at - m_windowStart]); };
    std::size_t at = start + annotationLead.size();
    if (isAt(at, "-"))
        ++at;
    const std::size_t whole = at;
    while (at - whole < longestWholeDigits && digitAt(at))
        ++at;
    bool wellFormed = at > whole && isAt(at, ".");
    ++at;
    for (std::size_t i = 0; wellFormed && i < annotationDecimals; ++i, ++at)
        wellFormed = digitAt(at);
    if (!wellFormed || !isAt(at, annotationMiddle)) {
        piece.failure = {start, Fault::MalformedAnnotation, 0};
        return;
    }
    piece.body = at + annotationMiddle.size();

    // The title is text, and it ends where a piece begins; it may hold what looks like a lead.
    auto lead = std::lower_bound(m_leads.begin(), m_leads.end(), piece.body);
    for (at = piece.body;;) {
        while (lead != m_leads.end() && *lead < at)
            ++lead;
        if ((lead != m_leads.end() && *lead == at) || (m_windowAtEnd && at == windowEnd()))
            ends.push_back({at, annotationWeight});
        const std::size_t length = at - piece.body < longestTitle ? textCharLength(at) : 0;
        if (length == 0)
            break;
        at += length;
    }
    if (ends.empty())
        piece.failure = {start, Fault::TitleNotText, 0};
}

// The end of a record in a run of ordinary records, found without following the readings: its first
// possible end begins another record, and every later possible end is also one of that record's, so
// any reading that ends it later is beaten by one that ends it there and has that record besides.
// This is what choose() would find, at a fraction of the work; 0 when the record is not so plain.
std::size_t StreamFileReader::plainRecordEnd(std::size_t at) const
{
    if (!isAt(at, recordLead))
        return 0;
    const std::size_t body = at + recordLead.size();
    const auto lead = std::lower_bound(m_leads.begin(), m_leads.end(), body + fullPacket.shortest);
    if (lead == m_leads.end() || *lead > body + fullPacket.longest || !isAt(*lead, recordLead))
        return 0;
    std::size_t second = lead + 1 != m_leads.end() ? lead[1] : SIZE_MAX;
    if (m_windowAtEnd)
        second = std::min(second, windowEnd());
    if (second <= body + fullPacket.longest && second < *lead + recordLead.size() + fullPacket.shortest)
        return 0;
    return *lead;
}

// Every place from `from` to `to` where a piece begins, or the file ends.
void StreamFileReader::addEnds(std::size_t from, std::size_t to, std::int64_t weight, std::vector<End>& ends) const
{
    for (auto lead = std::lower_bound(m_leads.begin(), m_leads.end(), from); lead != m_leads.end() && *lead <= to;
         ++lead)
        ends.push_back({*lead, weight});
    if (m_windowAtEnd && windowEnd() >= from && windowEnd() <= to)
        ends.push_back({windowEnd(), weight});
}

// --- The choice among a piece's ends --------------------------------------------------------------

// Follows every reading that starts with one of m_choices, place by place in file order, keeping for
// each place only the best reading that reaches it: the one with the most fixed-text bytes. As a
// place is reached only from places before it, its best reading is known once those are done. The
// choice is made once every reading still alive owes its best to the same first choice; it is
// ambiguous when two first choices reach the same place equally well, or both stay alive to the end
// of the file or of the look-ahead.
StreamFileReader::Verdict StreamFileReader::choose(std::size_t horizon)
{
    m_reaches.clear();
    m_reachHead = 0;
    for (std::uint32_t i = 0; i < m_choices.size(); ++i)
        m_reaches.push_back({m_choices[i].at, m_choices[i].weight, i, noRival});
    Failure farthest;
    for (std::size_t steps = 0;; ++steps) {
        if (m_reachHead == m_reaches.size())
            return {Verdict::Kind::Dead, 0, 0, farthest};
        if (settled())
            return {Verdict::Kind::Chosen, m_reaches[m_reachHead].choice, 0, {}};
        const Reach reach = m_reaches[m_reachHead];
        if (reach.at >= horizon || (m_windowAtEnd && reach.at == windowEnd()) || steps == longestSearch)
            return ambiguity();
        ++m_reachHead;
        const Piece piece = readPiece(reach.at, m_ends);
        // Where no reading goes on, the one that got farthest names the likeliest fault.
        if (m_ends.empty() && (farthest.fault == Fault::None || piece.failure.offset > farthest.offset))
            farthest = piece.failure;
        std::size_t place = m_reachHead;
        for (const End& end : m_ends)
            place = offer(place, end.at, reach.weight + end.weight, reach.choice, reach.rival);
    }
}

// Offers a reading that reaches `at`; `from` is a place in m_reaches at or before `at`'s, as a
// piece's ends come in order. Returns `at`'s place, for the next end to search from.
std::size_t StreamFileReader::offer(std::size_t from, std::size_t at, std::int64_t weight, std::uint32_t choice,
                                    std::uint32_t rival)
{
    while (from < m_reaches.size() && m_reaches[from].at < at)
        ++from;
    Reach* const place = from < m_reaches.size() ? &m_reaches[from] : nullptr;
    if (!place || place->at != at) {
        m_reaches.insert(m_reaches.begin() + static_cast<std::ptrdiff_t>(from), Reach{at, weight, choice, rival});
    } else if (weight > place->weight) {
        *place = Reach{at, weight, choice, rival};
    } else if (weight == place->weight && place->rival == noRival) {
        if (choice != place->choice)
            place->rival = choice;
        else
            place->rival = rival;
    }
    return from;
}

bool StreamFileReader::settled() const
{
    const std::uint32_t choice = m_reaches[m_reachHead].choice;
    for (std::size_t i = m_reachHead; i < m_reaches.size(); ++i)
        if (m_reaches[i].choice != choice || m_reaches[i].rival != noRival)
            return false;
    return true;
}

StreamFileReader::Verdict StreamFileReader::ambiguity() const
{
    const std::uint32_t first = m_reaches[m_reachHead].choice;
    for (std::size_t i = m_reachHead; i < m_reaches.size(); ++i) {
        const Reach& reach = m_reaches[i];
        if (reach.rival != noRival)
            return {Verdict::Kind::Ambiguous, reach.choice, reach.rival, {}};
        if (reach.choice != first)
            return {Verdict::Kind::Ambiguous, first, reach.choice, {}};
    }
    return {Verdict::Kind::Chosen, first, 0, {}};
}

// --- Problems ----------------------------------------------------------------------------------

void StreamFileReader::fail(const Failure& failure)
{
    std::string message;
    switch (failure.fault) {
    case Fault::None:
    case Fault::Unrecognised:
        message = "unrecognised bytes";
        break;
    case Fault::MalformedHeader:
        message = "malformed header";
        break;
    case Fault::HeaderWithoutEnd:
        message = "header without its end";
        break;
    case Fault::ErrorTextAlone:
        message = "error text not followed by a packet record";
        break;
    case Fault::RecordCutShort:
        message = "packet record cut short at the end of the file: its packet has " + std::to_string(failure.count) +
                  " of at least " + std::to_string(fullPacket.shortest) + " bytes";
        break;
    case Fault::RecordWithoutEnd:
        message = "packet record without an end: no piece begins " + std::to_string(fullPacket.shortest) + " to " +
                  std::to_string(fullPacket.longest) + " bytes into its packet";
        break;
    case Fault::ShortRecordTooLong:
        message = "packet record after an error text holds no short packet: no piece begins 0 to " +
                  std::to_string(shortPacket.longest) + " bytes into it";
        break;
    case Fault::MalformedAnnotation:
        message = "malformed event annotation";
        break;
    case Fault::TitleNotText:
        message = "malformed event annotation: its title is not text running up to a next piece";
        break;
    }
    m_error = ReplayError{m_fileName, 0, std::move(message), failure.offset};
}

void StreamFileReader::failAmbiguous(const Piece& piece, const Verdict& verdict)
{
    std::size_t one = m_choices[verdict.choice].at, other = m_choices[verdict.rival].at;
    if (one > other)
        std::swap(one, other);
    // The offset of the piece is the error's own; describe() puts it before the message.
    const auto lengths = [&] {
        return std::to_string(one - piece.body) + " or " + std::to_string(other - piece.body) + " bytes long";
    };
    std::string message;
    switch (piece.kind) {
    case Kind::Header:
        message = "ambiguous end of the header: it may end at byte " + std::to_string(one) +
                  " or at byte " + std::to_string(other);
        break;
    case Kind::Annotation:
        message = "ambiguous end of the event annotation: its title may be " + lengths();
        break;
    default:
        message = "ambiguous end of the packet record: its packet may be " + lengths();
        break;
    }
    m_error = ReplayError{m_fileName, 0, std::move(message), piece.start};
}

ReplayResult parseStreamFile(std::string_view bytes, const std::string& fileName)
{
    StreamFileReader reader(std::make_unique<StringReader>(std::string(bytes)), fileName);
    return readAllUpdates(reader);
}

} // namespace velorin

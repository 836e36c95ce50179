#pragma once

#include "platform/ByteReader.h"
#include "sensor/sim/ReplayUpdate.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// Reads a recording stream file (.s2) as it goes: the packets it recorded, as "2A37" updates 0.112 s
// apart with the first at 0.112 s. Error texts, event annotations and headers are skipped. Only a
// window of the file is held, so a file of any size costs the same memory.
//
// No piece of a stream carries its length, and a packet may hold any bytes, lead-like ones included,
// so where a packet record (or a header, or an annotation's title) ends is a choice among the places
// where a next piece could begin. The reader follows every reading of the bytes ahead, to the end of
// the file or a bounded look-ahead, and takes the one in which the most bytes are the writer's fixed
// texts (leads, header lines, an annotation's frame) rather than packet contents or free text: sensor
// bytes seldom spell out those texts, so that reading is by far the likeliest. Where two readings
// come out even, the bytes cannot tell them apart, and that is reported as an ambiguity at the
// piece's offset rather than guessed. Bytes that no reading explains are reported with their offset.
//
// A packet that itself holds a record lead with 19 bytes or more on either side reads as two packets:
// the writer writes exactly those bytes for the two.
//
// The pieces, their leads and where a piece may end are streamFormat's (signal/StreamFormat.h), as
// for the export reader (history/StreamReader.h). That one reads a whole file in memory and keeps
// what it can with warnings, taking the first end that fits; a replay must neither hold a day's file
// nor play a packet the bytes do not clearly hold, hence this reader.
class StreamFileReader : public ReplaySource {
public:
    StreamFileReader(std::unique_ptr<ByteReader> bytes, std::string fileName);
    std::optional<ReplayUpdate> next() override;
    const std::optional<ReplayError>& error() const override { return m_error; }

private:
    // A place where the piece in hand may end, and how many of its bytes are the writer's fixed texts.
    struct End {
        std::size_t at;
        std::int64_t weight;
    };
    // Why no reading goes on from a place.
    enum class Fault : std::uint8_t {
        None,
        Unrecognised,
        MalformedHeader,
        HeaderWithoutEnd,
        ErrorTextAlone,
        RecordCutShort,
        RecordWithoutEnd,
        ShortRecordTooLong,
        MalformedAnnotation,
        TitleNotText,
    };
    struct Failure {
        std::size_t offset = 0;
        Fault fault = Fault::None;
        std::size_t count = 0; // the bytes a cut-short record holds
    };
    enum class Kind : std::uint8_t { Unknown, Packet, ShortPacket, Header, Annotation };
    // The piece that begins at a place; its possible ends go to a separate list.
    struct Piece {
        Kind kind = Kind::Unknown;
        std::size_t start = 0; // of the record, past any error text; else of the piece
        std::size_t body = 0;  // of the packet, the title or the identifier
        Failure failure;       // when it has no possible end
    };
    // A place some reading reaches: the most fixed-text bytes any reading holds up to it, and the first
    // choice that reading made. `rival` is another first choice that reaches it with as many.
    struct Reach {
        std::size_t at;
        std::int64_t weight;
        std::uint32_t choice;
        std::uint32_t rival;
    };
    struct Verdict {
        enum class Kind : std::uint8_t { Chosen, Ambiguous, Dead } kind;
        std::uint32_t choice = 0;
        std::uint32_t rival = 0;
        Failure failure;
    };

    bool fill(std::size_t through);
    void findLeads();
    std::size_t windowEnd() const { return m_windowStart + m_window.size(); }
    bool isAt(std::size_t at, std::string_view text) const;
    bool isStamp(std::size_t at) const;
    std::size_t lineEnd(std::size_t from, std::size_t longest) const;
    std::size_t textCharLength(std::size_t at) const;

    std::size_t plainRecordEnd(std::size_t at) const;
    Piece readPiece(std::size_t at, std::vector<End>& ends) const;
    void readRecordEnds(Piece& piece, std::size_t record, bool afterErrorText, std::int64_t weight,
                        std::vector<End>& ends) const;
    void readHeaderEnds(Piece& piece, std::vector<End>& ends) const;
    std::size_t headerTailEnd(std::size_t tail) const;
    void readAnnotationEnds(Piece& piece, std::vector<End>& ends) const;
    void addEnds(std::size_t from, std::size_t to, std::int64_t weight, std::vector<End>& ends) const;

    Verdict choose(std::size_t horizon);
    std::size_t offer(std::size_t from, std::size_t at, std::int64_t weight, std::uint32_t choice, std::uint32_t rival);
    bool settled() const;
    Verdict ambiguity() const;

    ReplayUpdate packetUpdate(std::size_t body, std::size_t end);
    void fail(const Failure& failure);
    void failAmbiguous(const Piece& piece, const Verdict& verdict);

    std::unique_ptr<ByteReader> m_bytes;
    std::string m_fileName;
    std::optional<ReplayError> m_error;

    std::string m_window; // the file's bytes from m_windowStart on
    std::size_t m_windowStart = 0;
    bool m_windowAtEnd = false;       // the window reaches the end of the file
    std::vector<std::size_t> m_leads; // every place in the window where a piece's lead is spelt out
    std::size_t m_leadsFound = 0;     // leads are known at places below this
    std::string m_block;              // what one read brings in

    std::size_t m_at = 0; // where the next piece of the chosen reading begins
    std::int64_t m_packets = 0;

    // Kept between pieces only to reuse their storage.
    std::vector<End> m_choices;
    std::vector<End> m_ends;
    std::vector<Reach> m_reaches;
    std::size_t m_reachHead = 0;
};

// Every packet of a stream held in memory, or its first problem.
ReplayResult parseStreamFile(std::string_view bytes, const std::string& fileName);

} // namespace velorin

#include "history/EdfWriter.h"
#include "TinyStream.h"
#include "history/CsvWriter.h"
#include "history/StreamReader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace velorin {
namespace {

using namespace std::string_literals;

std::string padded(std::string text, std::size_t width)
{
    text.resize(width, ' ');
    return text;
}

TEST(EdfWriter, WritesTheHeaderAndARecordByteForByte)
{
    useCentralEuropeanTime();
    std::string problem;
    const auto stream = readRecordingStream(tinyStream(), problem);
    ASSERT_TRUE(stream) << problem;
    std::vector<std::string> warnings;
    const std::string edf = edfFile(*stream, {"P-7", "Ann Lee", 1}, warnings);

    std::string annotations = "+0.776\x14\x14\0"s + "+0.888\x14Walking\x14\0"s +
                              "+0.888\x15" "0.112\x14Short packet\x14\0"s +
                              "+1.112\x14Recording ends; the rest of this record repeats its last sample\x14\0"s;
    annotations.resize(annotations.size() + annotations.size() % 2, '\0');

    const std::string header =
        padded("0", 8) + padded("P-7 F X Ann_Lee", 80) +
        padded("Startdate 07-DEC-2026 X X S1 start_may_be_up_to_30s_early", 80) + "07.12.26" + "04.32.59" +
        padded("768", 8) + padded("EDF+C", 44) + padded("1", 8) + padded("1", 8) + padded("2", 4) +
        padded("ECG", 16) + padded("EDF Annotations", 16) + std::string(160, ' ') + padded("counts", 8) +
        padded("", 8) + padded("0", 8) + padded("-1", 8) + padded("1023", 8) + padded("1", 8) + padded("0", 8) +
        padded("-32768", 8) + padded("1023", 8) + padded("32767", 8) + std::string(160, ' ') + padded("125", 8) +
        padded(std::to_string(annotations.size() / 2), 8) + std::string(64, ' ');
    ASSERT_EQ(header.size(), 768u);
    EXPECT_EQ(edf.substr(0, 768), header);

    // 100..113, the short packet holding 113, 500..513, then 513 to the end of the second.
    std::string samples;
    const auto add = [&](int v) { samples += static_cast<char>(v & 0xFF), samples += static_cast<char>(v >> 8); };
    for (int v = 100; v < 114; ++v)
        add(v);
    for (int k = 0; k < 14; ++k)
        add(113);
    for (int v = 500; v < 514; ++v)
        add(v);
    for (int k = 42; k < 125; ++k)
        add(513);
    EXPECT_EQ(edf.substr(768), samples + annotations);
    EXPECT_TRUE(warnings.empty());
}

TEST(EdfWriter, PatientFieldTakesOnlyPrintableAsciiAndStaysInItsField)
{
    EXPECT_EQ(edfPatientField({}), "X X X X");
    EXPECT_EQ(edfPatientField({"", "Jo", 0}), "X M X Jo");
    EXPECT_EQ(edfPatientField({"id 1", "Zoë\tO'Neil\n\x01\x7F", 7}), "id_1 F X Zo?_O'Neil___");
    const std::string longest = edfPatientField({std::string(100, 'c'), std::string(200, 'n'), 1});
    EXPECT_EQ(longest.size(), 80u);
    EXPECT_TRUE(longest.starts_with(std::string(24, 'c') + " F X nnn"));
}

TEST(EdfWriter, AnnotationsBeyondWhatARecordHoldsMoveToLaterRecords)
{
    useCentralEuropeanTime();
    std::string bytes = streamHeader("", "2026-12-07_043300");
    for (int i = 0; i < 40; ++i)
        bytes += annotationRecord(0, std::string(100, 'a' + i % 26));
    for (int p = 0; p < 100; ++p)
        bytes += packetRecord(rampPacket(p));
    std::string problem;
    const auto stream = readRecordingStream(bytes, problem);
    ASSERT_TRUE(stream) << problem;
    std::vector<std::string> warnings;
    const std::string edf = edfFile(*stream, {}, warnings);
    const std::size_t records = std::stoul(edf.substr(236, 8));
    const std::size_t perRecord = 250 + std::stoul(edf.substr(696, 8)) * 2;
    EXPECT_EQ(records, 12u);
    EXPECT_LE(perRecord, 250u + 2048u);
    std::size_t found = 0;
    for (std::size_t r = 0; r < records; ++r) {
        const std::string tals = edf.substr(768 + r * perRecord + 250, perRecord - 250);
        EXPECT_TRUE(tals.starts_with("+" + std::to_string(r) + "\x14\x14")) << r; // time-keeping first
        for (std::size_t at = tals.find("+0\x14"); at != std::string::npos; at = tals.find("+0\x14", at + 1))
            ++found;
    }
    EXPECT_EQ(found, 40u + 1u); // and the first record's time-keeping TAL
    EXPECT_TRUE(warnings.empty());
}

std::vector<std::string> csvLines(const RecordingStream& stream)
{
    std::string text;
    EXPECT_TRUE(writeCsv(stream, [&](std::string_view piece) {
        text += piece;
        return true;
    }));
    EXPECT_TRUE(text.ends_with('\n'));
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(CsvWriter, OneLinePerSampleInLocalTimeWithEventsInPlaceAndAGapForAShortPacket)
{
    useCentralEuropeanTime();
    std::string problem;
    auto stream = readRecordingStream(tinyStream(), problem);
    ASSERT_TRUE(stream) << problem;
    const std::vector<std::string> lines = csvLines(*stream);
    ASSERT_EQ(lines.size(), 1u + 14u + 1u + 14u);
    EXPECT_EQ(lines[0], "time,seconds,value");
    EXPECT_EQ(lines[1], "2026-12-07T04:32:59.776+01:00,0.000,100");
    EXPECT_EQ(lines[4], "2026-12-07T04:32:59.800+01:00,0.024,103");
    EXPECT_EQ(lines[14], "2026-12-07T04:32:59.880+01:00,0.104,113");
    EXPECT_EQ(lines[15], "# event 0.112 Walking");
    EXPECT_EQ(lines[16], "2026-12-07T04:33:00.000+01:00,0.224,500");

    stream->events[0].activity = "Walk, then run\\x0A";
    EXPECT_EQ(csvLines(*stream)[15], "# event 0.112 Walk\\x2C then run\\x0A");
}

} // namespace
} // namespace velorin

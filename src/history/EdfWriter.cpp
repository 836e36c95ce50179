#include "history/EdfWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace velorin {

namespace {

constexpr int samplesPerRecord = 125;
constexpr std::int64_t recordMs = 1000;
// Annotation bytes every record reserves are the most any one second needs, up to this; the rest
// moves on to the next records (a TAL's onset is absolute, so it may stand in a later record).
constexpr std::size_t mostAnnotationBytes = 2048;

std::string field(std::string text, std::size_t width)
{
    text.resize(width, ' ');
    return text;
}

std::string headerText(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c > 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else if (c <= 0x20 || c == 0x7F)
            out += '_';
        else if ((c & 0xC0) != 0x80)
            out += '?'; // one per character: continuation bytes add nothing
    }
    return out.empty() ? "X" : out;
}

// Seconds from the file's start field, as a TAL onset: "+12.345", "+12".
std::string onset(std::int64_t ms)
{
    char text[40];
    if (ms % 1000 == 0)
        std::snprintf(text, sizeof text, "+%lld", static_cast<long long>(ms / 1000));
    else
        std::snprintf(text, sizeof text, "+%lld.%03lld", static_cast<long long>(ms / 1000),
                      static_cast<long long>(ms % 1000));
    std::string out = text;
    while (out.back() == '0' && out.find('.') != std::string::npos)
        out.pop_back();
    return out;
}

std::string annotation(std::int64_t ms, std::string_view text, std::string_view duration = {})
{
    std::string tal = onset(ms);
    if (!duration.empty())
        tal.append("\x15").append(duration);
    tal.append("\x14").append(text).append("\x14");
    tal += '\0';
    return tal;
}

std::string timeKeeping(std::int64_t ms)
{
    std::string tal = onset(ms);
    tal.append("\x14\x14");
    tal += '\0';
    return tal;
}

struct Timed {
    std::size_t record;
    std::int64_t ms;
    std::string tal;
};

} // namespace

std::string edfPatientField(const PatientProfile& patient)
{
    const char* sex = !patient.gender ? "X" : *patient.gender == 0 ? "M" : "F"; // as the PDF reads it
    std::string code = headerText(patient.code).substr(0, 24);
    std::string text = code + " " + sex + " X " + headerText(patient.name);
    return text.substr(0, 80);
}

std::string edfFile(const RecordingStream& stream, const PatientProfile& patient, std::vector<std::string>& warnings)
{
    if (stream.samples.empty()) {
        warnings.push_back("a recording without samples makes no EDF file");
        return {};
    }
    const std::size_t sampleCount = stream.samples.size();
    const std::size_t records = (sampleCount + samplesPerRecord - 1) / samplesPerRecord;
    const std::int64_t startSecond = stream.startMs >= 0 ? stream.startMs / 1000 : -((-stream.startMs + 999) / 1000);
    const std::int64_t offsetMs = stream.startMs - startSecond * 1000; // into the first record
    const auto recordOf = [&](std::int64_t msFromStart) {
        return std::min<std::size_t>(static_cast<std::size_t>(msFromStart / recordMs), records - 1);
    };

    // Everything to annotate, in time order.
    std::vector<Timed> notes;
    {
        std::size_t e = 0;
        const auto eventsUpTo = [&](std::size_t packets) {
            for (; e < stream.events.size() && stream.events[e].packetsBefore <= packets; ++e) {
                const std::int64_t ms = static_cast<std::int64_t>(stream.events[e].packetsBefore) * RecordingStream::packetMs;
                notes.push_back({recordOf(ms), offsetMs + ms, annotation(offsetMs + ms, stream.events[e].activity)});
            }
        };
        for (std::size_t p : stream.shortPackets) {
            eventsUpTo(p);
            const std::int64_t ms = static_cast<std::int64_t>(p) * RecordingStream::packetMs;
            notes.push_back({recordOf(ms), offsetMs + ms, annotation(offsetMs + ms, "Short packet", "0.112")});
        }
        eventsUpTo(stream.packets);
        if (sampleCount % samplesPerRecord != 0) {
            const std::int64_t ms = static_cast<std::int64_t>(sampleCount) * RecordingStream::sampleMs;
            notes.push_back({records - 1, offsetMs + ms,
                             annotation(offsetMs + ms, "Recording ends; the rest of this record repeats its last sample")});
        }
    }

    std::size_t budget = timeKeeping(offsetMs + static_cast<std::int64_t>(records - 1) * recordMs).size();
    for (std::size_t i = 0; i < notes.size();) {
        std::size_t bytes = timeKeeping(offsetMs + static_cast<std::int64_t>(notes[i].record) * recordMs).size();
        const std::size_t record = notes[i].record;
        for (; i < notes.size() && notes[i].record == record; ++i)
            bytes += notes[i].tal.size();
        budget = std::max(budget, bytes);
    }
    budget = std::min(budget, mostAnnotationBytes);
    budget += budget % 2;
    const std::size_t annotationSamples = budget / 2;

    std::time_t whole = static_cast<std::time_t>(startSecond);
    std::tm t{};
    localtime_r(&whole, &t);
    const int year = t.tm_year + 1900;
    static constexpr const char* months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                             "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    char date[48], clock[48], startdate[64];
    if (year >= 1985 && year <= 2084)
        std::snprintf(date, sizeof date, "%02d.%02d.%02d", t.tm_mday, t.tm_mon + 1, year % 100);
    else
        std::snprintf(date, sizeof date, "%02d.%02d.yy", t.tm_mday, t.tm_mon + 1); // the recording field has the year
    std::snprintf(clock, sizeof clock, "%02d.%02d.%02d", t.tm_hour, t.tm_min, t.tm_sec);
    std::snprintf(startdate, sizeof startdate, "Startdate %02d-%s-%04d", t.tm_mday, months[t.tm_mon], year);

    // The header's stamp is a flush floored to 30 s, so readers should know the start may be early.
    const std::string note = "start_may_be_up_to_30s_early";
    std::string recording = std::string(startdate) + " X X " + headerText(stream.sensorId) + " " + note;
    if (recording.size() > 80)
        recording = std::string(startdate) + " X X X " + note;

    std::string out;
    const std::size_t recordBytes = samplesPerRecord * 2 + budget;
    out.reserve(768 + records * recordBytes);
    out += field("0", 8);
    out += field(edfPatientField(patient), 80);
    out += field(recording, 80);
    out += field(date, 8);
    out += field(clock, 8);
    out += field("768", 8);
    out += field("EDF+C", 44);
    out += field(std::to_string(records), 8);
    out += field("1", 8);
    out += field("2", 4);
    out += field("ECG", 16) + field("EDF Annotations", 16);
    out += field("", 80) + field("", 80);
    out += field("counts", 8) + field("", 8);
    out += field("0", 8) + field("-1", 8);
    out += field("1023", 8) + field("1", 8);
    out += field("0", 8) + field("-32768", 8);
    out += field("1023", 8) + field("32767", 8);
    out += field("", 80) + field("", 80);
    out += field(std::to_string(samplesPerRecord), 8) + field(std::to_string(annotationSamples), 8);
    out += field("", 32) + field("", 32);

    std::size_t next = 0;
    const std::int16_t last = stream.samples.back();
    for (std::size_t r = 0; r < records; ++r) {
        for (std::size_t k = 0; k < samplesPerRecord; ++k) {
            const std::size_t i = r * samplesPerRecord + k;
            const auto v = static_cast<std::uint16_t>(i < sampleCount ? stream.samples[i] : last);
            out += static_cast<char>(v & 0xFF);
            out += static_cast<char>(v >> 8);
        }
        const std::size_t begin = out.size();
        out += timeKeeping(offsetMs + static_cast<std::int64_t>(r) * recordMs);
        while (next < notes.size() && notes[next].record <= r &&
               out.size() - begin + notes[next].tal.size() <= budget)
            out += notes[next++].tal;
        out.resize(begin + budget, '\0');
    }
    if (next < notes.size())
        warnings.push_back(std::to_string(notes.size() - next) +
                           " annotations found no room at the end of the file and are left out");
    return out;
}

} // namespace velorin

// The recorder's uploads and marked events as the collector receives them: velorin-record on
// virtual time against velorin-collector on 127.0.0.1, the collector's files compared with the
// recording stream the recorder wrote beside them.

#include "CollectorProcess.h"
#include "RecorderRun.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace velorin {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::size_t packetsPerChunk = 268;
constexpr std::size_t packetBytes = 20; // the simulated sensor's packets
const std::string activities[] = {"Laying", "Sitting", "Standing", "Resting", "Walking", "Active", "Other"};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What the recording streams hold, in order: the packets, and each annotation (with the bytes after
// it) and the number of packets before it.
struct Stream {
    std::vector<std::string> packets;
    std::vector<std::pair<std::size_t, std::string>> annotations;
};

// Upload contents by the name they were sent under. A second upload of one name (the rest gathered
// when a run ends, in the same 30-second slot as the chunk before it) is kept as NAME~1.
using Uploads = std::map<std::string, std::multiset<std::string>>;

Uploads byName(const std::map<std::string, std::string>& files)
{
    Uploads grouped;
    for (const auto& [name, bytes] : files)
        grouped[name.substr(0, name.rfind('~'))].insert(bytes);
    return grouped;
}

std::map<std::string, std::string> filesIn(const fs::path& dir)
{
    std::map<std::string, std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.is_regular_file())
            found[entry.path().filename().string()] = readFile(entry.path());
    return found;
}

class UploadRun : public RecorderRun {
protected:
    std::string m_data = m_dir + "/collector";
    std::unique_ptr<CollectorProcess> m_collector;

    void startCollector(std::vector<std::string> args = {})
    {
        if (m_collector)
            m_collector->stop();
        args.insert(args.begin(), {"--port", "0", "--data", m_data});
        m_collector = std::make_unique<CollectorProcess>(args, m_dir + "/collector.log");
        ASSERT_GT(m_collector->port(), 0) << m_collector->log();
    }
    std::string endpoint() const
    {
        return "http://127.0.0.1:" + std::to_string(m_collector->port()) + "/Ecg/WriteTicksBase";
    }
    // A simulated recording from `start` (local time) for `seconds`, driven by `script`; the sensor is
    // chosen at 0.5 s (a later run finds it remembered), and its packets flow from 0.9 s.
    RunResult record(const std::string& start, int seconds, const std::string& script)
    {
        const std::string scriptPath = write("run" + std::to_string(++m_runs) + ".script", "0.5 choose 1\n" + script);
        return sim({"--start", start, "--duration", std::to_string(seconds), "--script", scriptPath,
                    "--collection-endpoint", endpoint()});
    }

    // Every recording stream of the documents, oldest first, read as one.
    Stream streams()
    {
        Stream all;
        for (const std::string& name : listDocs()) {
            if (name.size() <= 3 || !name.ends_with(".s2"))
                continue;
            const std::string bytes = doc(name);
            const auto packetsIn = [&](std::string_view part) {
                std::vector<std::string> found;
                for (const auto& packet : streamPackets(part, name))
                    found.emplace_back(packet.begin(), packet.end());
                return found;
            };
            for (std::size_t title = bytes.find(streamFormat::annotationMiddle); title != std::string::npos;
                 title = bytes.find(streamFormat::annotationMiddle, title + 1)) {
                const std::size_t at = bytes.rfind(streamFormat::annotationLead, title);
                all.annotations.emplace_back(all.packets.size() +
                                                 packetsIn(std::string_view(bytes).substr(0, at)).size(),
                                             bytes.substr(at, title + 40 - at)); // and what follows
            }
            const auto packets = packetsIn(bytes);
            all.packets.insert(all.packets.end(), packets.begin(), packets.end());
        }
        return all;
    }
    // What each flush's upload must hold, by upload name: the packets of that flush, each without its
    // last byte, one after another. A flush takes 268 packets; the one at the end of a run takes the
    // rest, and its chunk file is that of the chunk before when both fall into one 30-second slot.
    Uploads expectedUploads()
    {
        const Stream stream = streams();
        Uploads expected;
        std::size_t next = 0;
        for (const std::string& name : listDocs()) {
            if (!name.ends_with(".ecg"))
                continue;
            const std::string text = doc(name);
            for (auto left = static_cast<std::size_t>(std::count(text.begin(), text.end(), ' ')) / 14; left > 0;) {
                const std::size_t take = std::min(left, packetsPerChunk);
                std::string bytes;
                for (std::size_t k = next; k < next + take && k < stream.packets.size(); ++k)
                    bytes += stream.packets[k].substr(0, packetBytes - 1);
                expected[name.substr(0, name.size() - 4) + "_0.000000_0.000000.ecg"].insert(bytes);
                next += take;
                left -= take;
            }
        }
        EXPECT_EQ(next, stream.packets.size());
        return expected;
    }
    Uploads uploads() const { return byName(filesIn(m_data + "/uploads")); }
    Uploads buffered() const { return byName(filesIn(docs + "/Buffer")); }

    int m_runs = 0;
};

// Each flush's upload holds its packet bytes under the name of its chunk; offline, they wait in
// Buffer exactly as recorded and nothing is sent, and once online every one arrives once.
TEST_F(UploadRun, BufferFillsOfflineAndDrainsOnceOnline)
{
    startCollector();
    // Offline for three chunks and the rest after them.
    const RunResult offline = record("2017-05-27T10:15:00", 100, "0 start\n0 offline\n");
    ASSERT_EQ(offline.status, 0) << offline.err;
    const auto firstRun = expectedUploads();
    ASSERT_EQ(firstRun.size(), 3u);
    EXPECT_EQ(buffered(), firstRun);
    EXPECT_TRUE(uploads().empty());
    // The first chunk ends at 30.8 s, in the second 30-second slot.
    EXPECT_EQ(firstRun.begin()->first, "2017-05-27_101530_0.000000_0.000000.ecg");

    // Still offline for one more chunk, then online: the next flush sends its own chunk and the pass
    // sends the four kept ones, each once; a later pass must not send a file whose request is open.
    const RunResult online = record("2017-05-27T11:00:00", 130, "0 start\n0 offline\n45 online\n");
    ASSERT_EQ(online.status, 0) << online.err;
    const auto expected = expectedUploads();
    ASSERT_EQ(expected.size(), 7u);
    EXPECT_EQ(uploads(), expected);
    EXPECT_TRUE(buffered().empty());
    std::multiset<std::size_t> packets;
    for (const auto& [name, pieces] : expected)
        for (const std::string& bytes : pieces)
            packets.insert(bytes.size() / (packetBytes - 1));
    // Seven chunks, and each run's rest sent at its end under its last chunk's name: 81 packets, and 86
    // in the second run, whose remembered sensor starts sooner.
    EXPECT_EQ(packets, (std::multiset<std::size_t>{81, 86, 268, 268, 268, 268, 268, 268, 268}));
    const json s = m_collector->stats();
    EXPECT_EQ(s["uploads"], 7);
    EXPECT_EQ(s["duplicates"], 0);
    EXPECT_EQ(s["parts"], 2);
    EXPECT_EQ(s["rejected"], 0);
}

TEST_F(UploadRun, MarkedEventReachesTheServerTheStreamAndAnEventFile)
{
    startCollector();
    const RunResult r = record("2017-05-27T10:15:00", 100, "0 start\n0 online\n40 mark Walking none\n");
    ASSERT_EQ(r.status, 0) << r.err;

    const std::vector<json> sent = collectedEvents(m_data);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (json{{"VUApiKey", "5d07e1b94c2a4f86b3e0"}, {"Activity", "Walking"},
                             {"Date", "2017-05-27 10:15:40"}}));

    // The annotation stands between the packet records, carrying the packets counted before it.
    const Stream stream = streams();
    ASSERT_EQ(stream.annotations.size(), 1u);
    const auto& [before, record] = stream.annotations[0];
    EXPECT_TRUE(record.starts_with(annotationRecord(static_cast<std::int64_t>(before), "Walking"))) << record;
    // Packets flow from 0.9 s.
    EXPECT_NEAR(static_cast<double>(before) * 0.112, 39.1, 0.2);

    // Marked in the second chunk (30.8 s to 60.9 s): the file comes with the third, holding all three,
    // named by its stamp with the feeling "none" left empty. The rest flushed at 100 s joins the third
    // chunk's file, not the event's.
    const std::string event = doc("2017-05-27_101630 Walking  .event");
    const std::string firstTwo = doc("2017-05-27_101530.ecg") + doc("2017-05-27_101600.ecg");
    ASSERT_TRUE(event.starts_with(firstTwo));
    const std::string third = event.substr(firstTwo.size());
    EXPECT_EQ(std::count(third.begin(), third.end(), ' '), 268 * 14);
    EXPECT_TRUE(doc("2017-05-27_101630.ecg").starts_with(third));
    EXPECT_FALSE(fs::exists(docs + "/EventBuffer") && !fs::is_empty(docs + "/EventBuffer"));
}

TEST_F(UploadRun, FailingServerLosesNothingAndSendsNothingTwiceOnceHealthy)
{
    startCollector({"--fail-rate", "0.3", "--empty-rate", "0.1"});
    std::string script = "0 start\n0 online\n";
    for (int minute = 10; minute < 120; minute += 20)
        script += std::to_string(minute * 60 + 7) + " mark " + activities[minute % 7] + " discomfort\n";
    const RunResult failing = record("2017-05-27T10:15:00", 7200, script);
    ASSERT_EQ(failing.status, 0) << failing.err;
    // 239 chunks, and the rest at 7200 s in a slot of its own.
    const auto firstRun = expectedUploads();
    ASSERT_EQ(firstRun.size(), 240u);
    // What waits in Buffer is whole.
    for (const auto& [name, pieces] : buffered()) {
        ASSERT_TRUE(firstRun.count(name)) << name;
        for (const std::string& bytes : pieces)
            EXPECT_EQ(firstRun.at(name).count(bytes), 1u) << name;
    }
    EXPECT_GT(m_collector->stats()["injectedFailures"].get<int>(), 0);

    startCollector();
    const RunResult healthy = record("2017-05-27T13:00:00", 65, "0 start\n0 online\n");
    ASSERT_EQ(healthy.status, 0) << healthy.err;
    const auto expected = expectedUploads();
    ASSERT_EQ(expected.size(), 242u);
    const auto stored = uploads();
    EXPECT_EQ(stored.size(), expected.size());
    for (const auto& [name, pieces] : stored) {
        ASSERT_TRUE(expected.count(name)) << "not a chunk, or a further part: " << name;
        EXPECT_TRUE(pieces == expected.at(name)) << name;
    }
    EXPECT_TRUE(buffered().empty());
    // Only the rest at 65 s shares a name, with the chunk of 60.8 s.
    EXPECT_EQ(m_collector->stats()["parts"], 1);

    // Each event once, with the date it was marked at.
    std::multiset<std::string> dates;
    for (const json& e : collectedEvents(m_data))
        dates.insert(e.value("Date", ""));
    EXPECT_EQ(dates, (std::multiset<std::string>{"2017-05-27 10:25:07", "2017-05-27 10:45:07", "2017-05-27 11:05:07",
                                                  "2017-05-27 11:25:07", "2017-05-27 11:45:07",
                                                  "2017-05-27 12:05:07"}));
    EXPECT_FALSE(fs::exists(docs + "/EventBuffer") && !fs::is_empty(docs + "/EventBuffer"));
}

} // namespace
} // namespace velorin

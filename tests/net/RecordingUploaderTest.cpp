#include "../fakes/TempDir.h"
#include "NetRig.h"
#include "net/RequestBuilding.h"
#include "platform/PosixFiles.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>

namespace velorin {
namespace {

const std::string noPosition = "_0.000000_0.000000.ecg";
const std::string firstName = "2017-05-27_101530" + noPosition;

TEST(RecordingUpload, OnlineRequestIsExactAndGoesToTheFirstFileServerOrTheBuiltInEndpoint)
{
    EXPECT_EQ(uploadFileName("10:15:30", Coordinate{-33.8688, -151.2093}), "101530_-33.868800_-151.209300.ecg");
    NetRig rig;
    rig.location.position = Coordinate{41.9961, 21.4315};
    rig.flush("\x01\x02\x03");
    ASSERT_EQ(rig.http.sent.size(), 1u);
    const HttpRequest& request = rig.http.sent[0].request;
    EXPECT_EQ(request.method + " " + request.url, "POST " + testCollectionUrl);
    EXPECT_EQ(request.headers, jsonHeaders);
    EXPECT_EQ(request.body, uploadBody("2017-05-27_101530_41.996100_21.431500.ecg", "AQID"));
    EXPECT_EQ(request.timeout, std::chrono::seconds(60));
    EXPECT_EQ(rig.leftInBuffer, "");
    EXPECT_EQ(rig.location.starts, 1);

    rig.settings.set(keys::token, std::string("c0ffee"));
    rig.acq.fileServerList = {"127.0.0.1:8092/up", "127.0.0.2/unused"};
    rig.location.position.reset();
    rig.flush("");
    EXPECT_EQ(rig.http.sent[1].request.url, "http://127.0.0.1:8092/up");
    EXPECT_EQ(rig.body(1), uploadBody(firstName, "", "c0ffee"));

    rig.answer(0, 200, "stored");
    rig.answer(1, 204);
    EXPECT_EQ(rig.log.lines, (std::vector<std::string>{"responseData: stored", "Nothing was downloaded."}));
    EXPECT_TRUE(rig.memory.directories.empty()); // nothing was kept

    // An empty answer does not show that the bytes were taken, and tells of the server: the next
    // chunk for it is kept for a later try at once.
    rig.flush("unconfirmed");
    EXPECT_EQ(rig.http.sent.size(), 2u);
    EXPECT_EQ(rig.memory.files[rig.bufferPath(firstName)], "unconfirmed");
}

// Kept chunks going out under their own names with later passes, and only once, are met end to end
// (UploadEndToEndTest, against a collector that fails and answers empty now and then).
TEST(RecordingUpload, AtMostFourOpenNothingSentTwiceWhileOpenAndTheBufferDrainsAsAnswersCome)
{
    NetRig rig;
    rig.reachability.online = false;
    for (int i = 0; i < 10; ++i)
        rig.flush("c", "2017-05-27_1" + std::to_string(10000 + i));
    rig.reachability.online = true;
    rig.flush("n1", "2017-05-27_120000");
    rig.flush("n2", "2017-05-27_120030"); // a second pass while everything is open or waiting
    EXPECT_EQ(rig.http.sent.size(), 4u);
    EXPECT_EQ(rig.requests->waitingCount(), 8u); // n2 and seven buffered files, none twice
    rig.answer(0, 200, "ok");
    EXPECT_EQ(rig.body(4), uploadBody("2017-05-27_120030" + noPosition, "bjI=")); // new ones go first
    while (!rig.http.open().empty()) {
        EXPECT_LE(rig.http.open().size(), 4u);
        rig.answer(rig.http.open().front(), 200, "ok");
    }
    EXPECT_EQ(rig.http.sent.size(), 12u);
    EXPECT_EQ(rig.memory.files.size(), 0u);

    // Behind a server that does not answer, four new chunks wait for a slot, and the rest on disk.
    for (int i = 0; i < 12; ++i)
        rig.flush("h", "2017-05-27_13" + std::to_string(1000 + i));
    EXPECT_EQ(rig.http.open().size(), 4u);
    EXPECT_EQ(rig.memory.files.size(), 4u);
    std::set<std::string> taken;
    while (!rig.http.open().empty()) {
        EXPECT_TRUE(taken.insert(rig.body(rig.http.open().front())).second);
        rig.answer(rig.http.open().front(), 200, "ok");
        if (rig.http.open().empty() && !rig.memory.files.empty())
            rig.flush("n", "2017-05-27_140000"); // the next pass brings the kept ones
    }
    EXPECT_EQ(taken.size(), 13u);
}

TEST(RecordingUpload, AServerThatFailedIsLeftAloneAWhileThenProbedOnceAndNothingIsLost)
{
    NetRig rig;
    int chunk = 0;
    // A chunk of its own name; true when a request went out for it or for anything kept.
    auto flushSends = [&](double after) {
        rig.runtime.runFor(after);
        const std::size_t before = rig.http.sent.size();
        rig.flush("c", "2017-05-27_1" + std::to_string(10000 + chunk++));
        return rig.http.sent.size() > before;
    };
    EXPECT_TRUE(flushSends(0));
    rig.answer(0, 503, "busy");
    EXPECT_EQ(rig.status->text(), "server error, 1 waiting");
    // 30 s less and more 20%: nothing goes before, the oldest kept chunk probes after, alone.
    EXPECT_FALSE(flushSends(23.9));
    EXPECT_TRUE(flushSends(12.2));
    ASSERT_EQ(rig.http.open().size(), 1u);
    EXPECT_EQ(rig.body(1), uploadBody("2017-05-27_110000" + noPosition, "Yw=="));
    rig.answer(1, 0, "", "Connection reset by peer");

    // A network that comes and goes every 10 s for an hour, a chunk every 30 s: each return ends the
    // back-off but lets one probe through, never the Buffer at once, and nothing is lost.
    std::size_t probes = 0;
    for (int second = 10; second <= 3600; second += 10) {
        rig.reachability.online = second % 20 == 0;
        if (second % 30 != 0) {
            rig.runtime.runFor(10.0);
            continue;
        }
        flushSends(10.0);
        EXPECT_LE(rig.http.open().size(), 1u) << second;
        for (const std::size_t open : rig.http.open()) {
            rig.answer(open, 0, "", "Network is unreachable");
            ++probes;
        }
    }
    EXPECT_GT(probes, 30u);
    // Back for good: the server takes the probe, then every chunk, each once.
    rig.reachability.online = false;
    EXPECT_FALSE(flushSends(1));
    rig.reachability.online = true;
    EXPECT_TRUE(flushSends(1));
    std::set<std::string> taken;
    while (!rig.http.open().empty()) {
        EXPECT_LE(rig.http.open().size(), 4u);
        const std::size_t next = rig.http.open().front();
        EXPECT_TRUE(taken.insert(rig.body(next)).second);
        rig.answer(next, 200, "ok");
    }
    EXPECT_EQ(taken.size(), static_cast<std::size_t>(chunk));
    EXPECT_EQ(rig.status->text().find("waiting"), std::string::npos) << rig.status->text();
}

TEST(RecordingUpload, HostileBufferEntriesAreSkippedAndTheRestStillSent)
{
    TempDir dir("velorin-upload");
    PosixFiles posix;
    NetRig rig(&posix, dir.path());
    const std::string buffer = dir.path() + "/Buffer";
    std::filesystem::create_directory(buffer);
    auto write = [&](const std::string& name, const std::string& bytes) { std::ofstream(buffer + "/" + name) << bytes; };
    write("a.ecg", "AAA");
    write("empty.ecg", "");
    write("cut.ecg.Xy12Zw", "half"); // an atomic write cut short
    write("huge.ecg", "");
    std::filesystem::resize_file(buffer + "/huge.ecg", BufferDirectory::maxFileBytes + 1);
    std::filesystem::create_directory(buffer + "/dir.ecg");
    std::filesystem::create_symlink(buffer + "/a.ecg", buffer + "/link.ecg");
    ASSERT_EQ(::mkfifo((buffer + "/fifo.ecg").c_str(), 0600), 0);
    write("notes.txt", "other");
    // Someone else's file given a second name here, and a name that is no text.
    std::ofstream(dir.path() + "/outside") << "theirs";
    std::filesystem::create_hard_link(dir.path() + "/outside", buffer + "/hard.ecg");
    write("bad\xff.ecg", "BBB");

    rig.flush("x");
    rig.flush("y", "2017-05-27_101600");
    ASSERT_EQ(rig.http.sent.size(), 4u); // two new chunks, notes.txt and a.ecg
    EXPECT_EQ(rig.body(1), uploadBody("notes.txt", "b3RoZXI="));
    EXPECT_EQ(rig.body(2), uploadBody("a.ecg", "QUFB"));
    // Read only as the very name: a link or FIFO put there after the listing is refused at once.
    std::string bytes;
    EXPECT_FALSE(posix.readAllWithoutFollowing(buffer + "/link.ecg", bytes, 100).ok);
    EXPECT_FALSE(posix.readAllWithoutFollowing(buffer + "/fifo.ecg", bytes, 100).ok);

    rig.answer(2, 200, "ok");
    EXPECT_FALSE(std::filesystem::exists(buffer + "/a.ecg"));
    EXPECT_TRUE(std::filesystem::is_symlink(buffer + "/link.ecg"));
    EXPECT_TRUE(std::filesystem::exists(buffer + "/hard.ecg"));
}

// Closing keeps the new upload that got no answer; answers that come later touch nothing.
TEST(RecordingUpload, AnswersAfterTheUploaderIsGoneTouchNothing)
{
    NetRig rig;
    rig.reachability.online = false;
    rig.flush("kept");
    rig.reachability.online = true;
    rig.flush("new", "2017-05-27_101600");
    rig.uploader.reset();
    rig.events.reset();
    rig.requests.reset();
    const std::size_t logged = rig.log.lines.size();
    rig.answer(0, 0, "", "gone");
    rig.answer(1, 200, "ok");
    EXPECT_EQ(rig.log.lines.size(), logged);
    EXPECT_EQ(rig.memory.files.size(), 2u);
}

} // namespace
} // namespace velorin

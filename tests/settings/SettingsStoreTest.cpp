#include "net/Credentials.h"
#include "../fakes/ByteMutator.h"
#include "../fakes/FakeLog.h"
#include "../fakes/MemoryFiles.h"
#include "../fakes/TempDir.h"
#include "platform/PosixFiles.h"
#include "sensor/RememberedSensor.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace velorin {
namespace {

using ::testing::HasSubstr;
using ::testing::SizeIs;

class RenameFailingFiles : public PosixFiles {
public:
    FileResult rename(const std::string&, const std::string&) override { return FileResult::failure("refused"); }
};

class SettingsStoreTest : public ::testing::Test {
protected:
    TempDir temp{"velorin-settings"};

    void writeFile(const std::string& p, const std::string& bytes)
    {
        std::filesystem::create_directories(std::filesystem::path(p).parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::string readFile(const std::string& p)
    {
        std::ostringstream out;
        out << std::ifstream(p, std::ios::binary).rdbuf();
        return out.str();
    }
    SettingsStore reopen() { return SettingsStore(files, log, path); }

    PosixFiles files;
    FakeLog log;
    std::string dir = temp.path();
    std::string path = dir + "/conf/settings.json";
};

TEST_F(SettingsStoreTest, EveryTypeSurvivesAReopen)
{
    const std::vector<std::pair<std::string, SettingValue>> values{
        {"text", std::string("Ada \xC3\xA9")},
        {"empty", std::string()},
        {"flag", true},
        {"tenth", 0.1f},
        {"tiny", FLT_TRUE_MIN},
        {"huge", -FLT_MAX},
        {"count", std::int64_t{-9'007'199'254'740'993}},
        {"date", SettingDate{1796576282.123}},
        {"before1970", SettingDate{-86'400.5}},
        {"leapDay", SettingDate{1709164800.0}}, // 2024-02-29
        {"list", std::vector<std::string>{"a", "", "b"}},
        {"noList", std::vector<std::string>{}},
    };
    {
        SettingsStore store(files, log, path);
        for (const auto& [key, value] : values)
            store.set(key, value);
    }
    SettingsStore again = reopen();
    for (const auto& [key, value] : values)
        EXPECT_EQ(again.object(key), value) << key;
    const auto doc = nlohmann::json::parse(readFile(path));
    EXPECT_EQ(doc["date"], (nlohmann::json{{"$date", "2026-12-06T16:58:02.123Z"}}));
    EXPECT_EQ(doc["before1970"], (nlohmann::json{{"$date", "1969-12-30T23:59:59.500Z"}}));
    EXPECT_TRUE(log.lines.empty());
}

// A mistyped number reads as nothing rather than as a wrapped one; the keys that prove an upload
// come from text or numbers only, and an empty one stored is used as stored.
TEST_F(SettingsStoreTest, ReadersTakeWhatTheirTypeAllowsAndReadTheRestAsNeutral)
{
    SettingsStore store(files, log, path);
    EXPECT_EQ(uploadToken(store), builtInUploadToken);
    EXPECT_EQ(eventKey(store), builtInUploadToken);
    EXPECT_EQ(patientId(store), std::nullopt);
    store.setFloat("big", 1e19f);
    EXPECT_EQ(store.integer("big"), std::nullopt);
    store.set(keys::token, std::int64_t{1234567890123});
    EXPECT_EQ(uploadToken(store), "1234567890123");
    store.setFloat(keys::PatientId, 42.0f);
    EXPECT_EQ(patientId(store), "42");
    store.setBool(keys::VUApiKey, true);
    EXPECT_EQ(eventKey(store), builtInUploadToken);
    store.set(keys::VUApiKey, std::string());
    EXPECT_EQ(eventKey(store), ""); // present, so it wins over the built-in token
    store.set("Token", std::string("upper"));
    EXPECT_EQ(uploadToken(store), "1234567890123");
    store.remove(keys::token);
    EXPECT_EQ(uploadToken(store), builtInUploadToken);
    EXPECT_EQ(reopen().text("Token"), "upper");
}

TEST_F(SettingsStoreTest, FileIsPrivateAndReplacedNotRewritten)
{
    SettingsStore store(files, log, path);
    store.set(keys::lockPass, std::string("1234"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((dir + "/conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A link to the old file keeps the old bytes only when the path gets a new file.
    const std::string before = readFile(path), link = dir + "/before";
    ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
    store.set(keys::lockPass, std::string("5678"));
    EXPECT_EQ(readFile(link), before);
    EXPECT_THAT(readFile(path), HasSubstr("5678"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir + "/conf"), {}), 1);
}

TEST_F(SettingsStoreTest, CorruptFilesAreMovedAsideAndStoreStartsEmpty)
{
    writeFile(path, "{\"Name\": ");
    writeFile(path + ".corrupt", "older");
    {
        SettingsStore store(files, log, path);
        EXPECT_FALSE(store.has(keys::Name));
        EXPECT_EQ(readFile(path + ".corrupt.1"), "{\"Name\": ");
        EXPECT_EQ(readFile(path + ".corrupt"), "older");
        store.set(keys::Name, std::string("Ada"));
    }
    EXPECT_EQ(reopen().text(keys::Name), "Ada");

    // When it cannot be moved aside, the store still starts.
    writeFile(path, "garbage");
    RenameFailingFiles failing;
    SettingsStore store(failing, log, path);
    EXPECT_TRUE(store.usable());
    EXPECT_FALSE(store.has(keys::Name));
}

TEST_F(SettingsStoreTest, WhatIsNotARegularFileIsRefusedAndLeftAlone)
{
    const std::string fifo = dir + "/fifo", device = dir + "/null", large = dir + "/large.json";
    std::filesystem::create_directories(path);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", device);
    writeFile(large, std::string(SettingsStore::maxFileSize + 1, ' '));
    for (const std::string& where : {path, fifo, device, large}) {
        SCOPED_TRACE(where);
        const auto kind = std::filesystem::symlink_status(where).type();
        SettingsStore store(files, log, where);
        EXPECT_FALSE(store.usable());
        EXPECT_THAT(store.problem(), HasSubstr(where));
        store.setBool(keys::termsAccept, true); // never replaces what stands there
        EXPECT_FALSE(store.flush());
        EXPECT_EQ(std::filesystem::symlink_status(where).type(), kind);
        EXPECT_FALSE(std::filesystem::exists(where + ".corrupt"));
    }
    EXPECT_EQ(std::filesystem::file_size(large), SettingsStore::maxFileSize + 1);
}

TEST_F(SettingsStoreTest, ALinkIsFollowedAndTheTargetReplacedBesideItself)
{
    std::filesystem::create_directories(dir + "/real");
    const std::string target = dir + "/real/settings.json", link = dir + "/link.json";
    writeFile(target, "{\"Name\": \"Ada\"}");
    std::filesystem::create_symlink("real/settings.json", link);
    {
        SettingsStore store(files, log, link);
        EXPECT_EQ(store.text(keys::Name), "Ada");
        store.set(keys::Name, std::string("Grace"));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_THAT(readFile(target), HasSubstr("Grace"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2); // no file beside the link
}

TEST_F(SettingsStoreTest, DocumentsFarBeyondSettingsAreKeptAsideUnbuilt)
{
    // Each costs many times its size to build; none is anything settings ever hold.
    const std::size_t n = 4'000'000;
    std::string manyKeys = "{";
    for (int i = 0; i < 20'000; ++i)
        manyKeys += "\"k" + std::to_string(i) + "\": 1,";
    manyKeys.back() = '}';
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        {std::string(n, '[') + std::string(n, ']'), "nested deeper than 16 levels"},
        {manyKeys, "more than 10000 values"},
        {"{\"Name\": \"" + std::string(5u << 20, 'x') + "\"}", "more than 4 MiB of text"},
    };
    for (const auto& c : cases) {
        writeFile(path, c.text);
        log.lines.clear();
        SettingsStore store(files, log, path);
        EXPECT_TRUE(store.usable());
        EXPECT_FALSE(store.has(keys::Name));
        ASSERT_THAT(log.lines, SizeIs(1));
        EXPECT_THAT(log.lines[0], HasSubstr(c.why));
        std::filesystem::remove(path + ".corrupt");
    }
}

TEST_F(SettingsStoreTest, OddValuesInAValidFileAreDroppedOneByOne)
{
    const std::string original = R"({"a": null, "b": {"x": 1}, "c": [1, "x"], "d": "ok",
        "e": {"$date": "2026-02-30T00:00:00.000Z"}, "f": {"$date": "2026-12-06T16:58:02Z", "more": 1}})";
    writeFile(path, original);
    SettingsStore store(files, log, path);
    EXPECT_EQ(store.text("d"), "ok");
    ASSERT_THAT(log.lines, SizeIs(6)); // one per dropped value
    // The dropped values are not lost: the file as it was is kept beside the store.
    EXPECT_THAT(log.lines[5], HasSubstr(path + ".corrupt"));
    store.set("g", true);
    EXPECT_EQ(readFile(path + ".corrupt"), original);
}

TEST_F(SettingsStoreTest, FailedSaveIsKeptAndRetriedByFlush)
{
    writeFile(dir + "/blocker", "");
    path = dir + "/blocker/settings.json";
    SettingsStore store(files, log, path);
    store.set(sensorKeys::selectedUUID, std::string("C0:FF:EE"));
    EXPECT_FALSE(store.flush());
    EXPECT_EQ(store.text(sensorKeys::selectedUUID), "C0:FF:EE"); // still there for this run

    std::filesystem::remove(dir + "/blocker");
    EXPECT_TRUE(store.flush());
    EXPECT_EQ(reopen().text(sensorKeys::selectedUUID), "C0:FF:EE");
}

// Whatever a damaged settings file holds, the store starts, and what it reads before a restart it
// reads again after one: nothing it accepted is lost or changed by its own save.
TEST(SettingsFuzz, DamagedFilesNeverCrashAndWhatLoadsSurvivesASave)
{
    const std::string valid = R"({
  "Name": "Ada",
  "termsAccept": true,
  "termsDate": {"$date": "2026-12-06T16:58:02.123Z"},
  "fileServers": ["10.0.0.1", "files.example"],
  "PdfLength": 2,
  "amplitude": 0.75,
  "PatientId": 12345,
  "lockPass": "",
  "weird": {"$date": "0001-01-01T00:00:00Z"}
})";
    test::ByteMutator mutations(20261206, "{}[],:\"$.-0123456789eEtfn\\u");
    int loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string text = mutations.mutate(valid);
        SCOPED_TRACE(text);
        MemoryFiles files;
        FakeLog log;
        files.files["/s.json"] = text;
        std::map<std::string, std::optional<SettingValue>> before;
        {
            SettingsStore store(files, log, "/s.json");
            ASSERT_TRUE(store.usable());
            for (const char* key : {"Name", "termsAccept", "termsDate", "fileServers", "PdfLength", "amplitude",
                                    "PatientId", "lockPass", "weird"})
                before[key] = store.object(key);
            store.set("touch", true); // forces a save of everything it holds
            loaded += store.has("Name");
        }
        SettingsStore again(files, log, "/s.json");
        for (const auto& [key, value] : before)
            EXPECT_EQ(again.object(key), value) << key;
    }
    EXPECT_GT(loaded, 100); // the mutations leave many files readable, so the round trip is tried
}

} // namespace
} // namespace velorin

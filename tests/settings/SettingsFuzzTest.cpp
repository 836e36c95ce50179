#include "../fakes/FakeLog.h"
#include "../fakes/MemoryFiles.h"
#include "../fakes/ByteMutator.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

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

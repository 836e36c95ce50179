#include "CollectorRig.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

using nlohmann::json;

TEST_F(CollectorRig, ALoginAnswersWithKeysAndAddressesPointingBackAtTheCollector)
{
    // The password holds "&", "=", "+" and a space, all percent-encoded as a form must be.
    const CollectorReply reply = login("Username=ana&Password=s3cr%26t%3D1+%2B");
    ASSERT_EQ(reply.status, 200) << reply.body;
    // What the recorder stores of the answer is checked by its end-to-end login.
    const json answer = json::parse(reply.body);
    const std::string token = answer["Token"], key = answer["VUApiKey"];
    EXPECT_NE(token, key);
    EXPECT_NE(token, Collector::builtInKey);

    // A second login hands out the same keys: what the first one stored stays valid.
    const json again = json::parse(login("Password=s3cr%26t%3D1+%2B&Username=ana").body);
    EXPECT_EQ(again["Token"], token);
    EXPECT_EQ(again["VUApiKey"], key);
    EXPECT_EQ(stats()["logins"], 2);
}

TEST_F(CollectorRig, OnlyKeysHandedOutByALoginHereAreAccepted)
{
    // The same seed draws the same keys: a login on a twin collector reveals them without a login
    // here; another seed draws keys of another collector.
    TempDir temp("velorin-collector");
    UploadStore store(temp.path());
    ASSERT_TRUE(store.prepare().ok);
    const std::vector<CollectorUser> ana{{"ana", "s3cr&t=1 +", CollectorUser::State::active}};
    Collector twin("127.0.0.1:8092", ana, 12345, store, m_log), other("127.0.0.1:1", ana, 999, store, m_log);
    const std::string credentials = "Username=ana&Password=s3cr%26t%3D1+%2B";
    const json keys = json::parse(twin.login(form, credentials).body);
    const json foreign = json::parse(other.login(form, credentials).body);
    EXPECT_EQ(upload(keys["Token"], "a.ecg", "x").status, 403);
    EXPECT_EQ(event(keys["VUApiKey"]).status, 403);

    const json mine = json::parse(login(credentials).body);
    ASSERT_EQ(mine, keys);
    ASSERT_NE(foreign["Token"], mine["Token"]);
    EXPECT_EQ(upload(Collector::builtInKey, "a.ecg", "x").status, 200);
    EXPECT_EQ(upload(mine["Token"], "b.ecg", "x").status, 200);
    EXPECT_EQ(event(Collector::builtInKey).status, 200);
    EXPECT_EQ(event(mine["VUApiKey"]).status, 200);

    // Keys another collector handed out, a key in the token's place and the reverse, an empty key.
    EXPECT_EQ(upload(foreign["Token"], "c.ecg", "x").status, 403);
    EXPECT_EQ(upload(mine["VUApiKey"], "c.ecg", "x").status, 403);
    EXPECT_EQ(upload("", "c.ecg", "x").status, 403);
    EXPECT_EQ(event(mine["Token"]).status, 403);
    EXPECT_EQ(stored("c.ecg"), "<missing>");
    EXPECT_EQ(stats()["rejected"], 6);
}

} // namespace
} // namespace velorin

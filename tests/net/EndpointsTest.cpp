#include "net/Endpoints.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(Endpoints, StoredAddressesGetHttpUnlessTheyNameAScheme)
{
    EXPECT_EQ(serverUrl("127.0.0.1:92/Ecg/WriteTicksBase"), "http://127.0.0.1:92/Ecg/WriteTicksBase");
    EXPECT_EQ(serverUrl("http://files.example/up"), "http://files.example/up");
    EXPECT_EQ(serverUrl("HTTPS://files.example/up"), "HTTPS://files.example/up");
    EXPECT_EQ(serverUrl("http:/files.example"), "http://http:/files.example");
    EXPECT_EQ(serverUrl("httpfiles/up"), "http://httpfiles/up");
}

// The built-in addresses are what the real service answers at; no other test reaches them.
TEST(Endpoints, BuiltInUrlsHaveTheirFixedPaths)
{
    const Endpoints e = Endpoints::builtIn();
    EXPECT_TRUE(e.login.starts_with("http://") && e.login.ends_with("/api/login")) << e.login;
    EXPECT_TRUE(e.collection.starts_with("http://") && e.collection.ends_with(":92/Ecg/WriteTicksBase"))
        << e.collection;
}

} // namespace
} // namespace velorin

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

TEST(Endpoints, BuiltInUrlsHaveTheirFixedPaths)
{
    const Endpoints e = Endpoints::builtIn();
    EXPECT_TRUE(e.login.starts_with("http://"));
    EXPECT_TRUE(e.login.ends_with("/api/login"));
    EXPECT_TRUE(e.collection.starts_with("http://"));
    EXPECT_TRUE(e.collection.ends_with(":92/Ecg/WriteTicksBase"));
}

} // namespace
} // namespace velorin

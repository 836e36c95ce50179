// velorin-record login against the collector on a loopback port.

#include "CollectorProcess.h"
#include "RecorderRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace velorin {
namespace {

class LoginEndToEnd : public RecorderRun {
protected:
    nlohmann::json storedSettings()
    {
        std::string text;
        files.readAll(settings, text, 1u << 20);
        return nlohmann::json::parse(text, nullptr, false);
    }
};

TEST_F(LoginEndToEnd, ALoginStoresWhatTheServiceHandsOutAndARefusalStoresNothing)
{
    // A password that a form without percent-encoding would break.
    CollectorProcess collector({"--port", "0", "--data", m_dir + "/data", "--user", "ana:pa ss&w=1+\xC3\xBC",
                                "--user", "bob:pw:locked"},
                               m_dir + "/collector.log");
    ASSERT_NE(collector.port(), 0) << collector.log();
    const std::string address = "127.0.0.1:" + std::to_string(collector.port());
    const std::string endpoint = "http://" + address + "/api/login";
    auto login = [&](const std::string& user, const std::string& password) {
        return runAsGiven({"login", "--user", user, "--password", password, "--settings", settings, "--login-endpoint",
                           endpoint});
    };

    const RunResult accepted = login("ana", "pa ss&w=1+\xC3\xBC");
    EXPECT_EQ(accepted.status, 0) << accepted.err;
    EXPECT_EQ(accepted.out, "");
    const nlohmann::json stored = storedSettings();
    EXPECT_EQ(stored["loggedIn"], true);
    EXPECT_EQ(stored["PatientId"], "1001");
    EXPECT_EQ(stored["fileServers"], nlohmann::json::array({address + "/Ecg/WriteTicksBase"}));
    EXPECT_EQ(stored["markedServer"], address + "/Ecg/WriteTicksBase");
    EXPECT_EQ(stored["token"].get<std::string>().size(), 20u);
    EXPECT_EQ(stored["VUApiKey"].get<std::string>().size(), 20u);
    EXPECT_EQ(accepted.err.find("pa+ss"), std::string::npos); // the password stays out of the log

    const RunResult locked = login("bob", "pw");
    EXPECT_EQ(locked.status, 1);
    EXPECT_EQ(locked.out, "alert User is locked. | Login unsuccessful.\n");
    EXPECT_EQ(storedSettings(), stored);
}

} // namespace
} // namespace velorin

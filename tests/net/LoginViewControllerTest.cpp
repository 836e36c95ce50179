#include "net/Credentials.h"
#include "../fakes/FakeLog.h"
#include "../fakes/MemoryFiles.h"
#include "net/HttpClient.h"
#include "net/LoginViewController.h"
#include "platform/Alerts.h"
#include "platform/virtual/VirtualRuntime.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace velorin {
namespace {

// Answers every blocking request with `answer` and keeps what was asked.
class ScriptedHttp : public HttpClient {
public:
    void send(HttpRequest, Completion) override { ADD_FAILURE() << "the login only sends blocking requests"; }
    HttpResponse sendBlocking(const HttpRequest& request) override
    {
        requests.push_back(request);
        return answer;
    }
    int openRequests() const override { return 0; }

    std::vector<HttpRequest> requests;
    HttpResponse answer;
};

// The screen and its dialogs as one ordered list of what happened.
class RecordingLoginView : public LoginView, public Alerts {
public:
    std::string username() const override { return user; }
    std::string password() const override { return pass; }
    void showProgress() override { events.push_back("progress"); }
    void hideProgress() override { events.push_back("hidden"); }
    void endEditing() override { events.push_back("endEditing"); }
    void closeLogin() override { events.push_back("close"); }
    void show(const AlertRequest& r, Answer) override
    {
        events.push_back("alert " + r.title + " | " + r.message + " [" + r.cancelButton + "]");
    }

    std::string user = "ana", pass = "secret";
    std::vector<std::string> events;
};

const std::string settingsPath = "/config/settings.json";

// The background queue is the runtime's second serial queue: on virtual time both run on the test's
// thread, in order.
struct LoginRig {
    LoginRig()
    {
        // What an earlier login left, to see that failures keep it.
        settings.set(keys::token, std::string("old-token"));
        settings.set(keys::PatientId, std::string("900"));
        controller->onFinished([this](bool loggedIn) { view.events.push_back(loggedIn ? "finished 1" : "finished 0"); });
    }

    std::vector<std::string> login(int status, const std::string& body, const std::string& error = {})
    {
        http.answer = HttpResponse{status, body, error};
        view.events.clear();
        runtime.mainQueue().async([this] { controller->loginClicked(); });
        runtime.runPending();
        return view.events;
    }

    VirtualRuntime runtime;
    FakeLog log;
    MemoryFiles files;
    SettingsStore settings{files, log, settingsPath};
    ScriptedHttp http;
    RecordingLoginView view;
    std::unique_ptr<LoginViewController> controller = std::make_unique<LoginViewController>(LoginContext{
        runtime.mainQueue(), runtime.bluetoothQueue(), http, settings, view, log, view, "http://127.0.0.1:8/api/login"});
};

std::vector<std::string> dialog(const std::string& title, const std::string& message)
{
    return {"progress", "alert " + title + " | " + message + " [OK]", "hidden", "finished 0"};
}

void expectUntouched(const LoginRig& rig)
{
    EXPECT_EQ(rig.settings.text(keys::token), "old-token");
    EXPECT_EQ(patientId(rig.settings), "900");
    EXPECT_FALSE(rig.settings.has(keys::loggedIn));
}

// The form as sent, byte for byte; that the service decodes it to the password typed (and that the
// password stays out of the log) is shown by the end-to-end login.
TEST(Login, PostsAPercentEncodedForm)
{
    LoginRig rig;
    rig.view.user = "ana maria&x=1";
    rig.view.pass = "p+w=d%\xC3\xBC\xE2\x82\xAC/";
    rig.login(200, "{}");
    ASSERT_EQ(rig.http.requests.size(), 1u);
    const HttpRequest& r = rig.http.requests[0];
    const std::string body = "Username=ana+maria%26x%3D1&Password=p%2Bw%3Dd%25%C3%BC%E2%82%AC%2F";
    EXPECT_EQ(r.method + " " + r.url + " " + r.body, "POST http://127.0.0.1:8/api/login " + body);
    EXPECT_EQ(r.timeout, std::chrono::seconds(30));
    const decltype(r.headers) headers{{"Content-Length", std::to_string(body.size())},
                                      {"Accept", "application/json"},
                                      {"Content-Type", "application/x-www-form-urlencoded"}};
    EXPECT_EQ(r.headers, headers);
}

// Every failure shows its dialog and keeps what an earlier login stored: refusals (before anything
// else is looked at), no answer, no object, and members of the wrong type.
TEST(Login, FailuresShowTheirDialogAndStoreNothing)
{
    LoginRig rig;
    const std::string noAnswer = "Connection Failed error code";
    std::string manyServers = R"({"Id":"1","FileServers":[)";
    for (int i = 0; i < 1001; ++i)
        manyServers += i ? ",\"a\"" : "\"a\"";
    manyServers += "]}";
    const auto refusal = [](const std::string& status) {
        return R"({"StatusMessage":")" + status + R"(","Id":"1001","Token":5})";
    };
    const struct {
        int status;
        std::string body, error, title, message;
    } cases[] = {
        {200, refusal("Login unsuccessful. Username or password are incorrect."), "", "Login unsuccessful.",
         "Username or password are incorrect."},
        {401, R"({"Id":"1"})", "", "Login Failed!", noAnswer},
        {0, "", "Connection refused", "Login Failed!", noAnswer},
        {200, "<html>Welcome</html>", "", "Login Failed!", "Connection Failed"},
        {200, R"({"Id":"1","Token":5})", "", "Login Failed!", "Login Failed."},
        {200, manyServers, "", "Login Failed!", "Login Failed."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rig.login(c.status, c.body, c.error), dialog(c.title, c.message)) << c.body.substr(0, 80);
    expectUntouched(rig);
}

TEST(Login, SuccessStoresTheSixKeysWithTheirTypesThenCloses)
{
    LoginRig rig;
    rig.runtime.mainQueue().async([&] { rig.controller->loginClicked(); }); // ignored: the next one runs
    const auto events = rig.login(200, R"({"StatusMessage":"Login successful.","Id":"1001","Token":"t1",
        "FileServers":["127.0.0.1:92/Ecg/WriteTicksBase","b"],"CollectionServer":"127.0.0.1:92/e","VUApiKey":"k1"})");
    EXPECT_EQ(events, (std::vector<std::string>{"progress", "close", "hidden", "finished 1"}));
    EXPECT_EQ(rig.http.requests.size(), 1u);
    // What a login stores, with its types, is read back from the file in the end-to-end login.
    EXPECT_EQ(rig.settings.object(keys::fileServers),
              SettingValue(std::vector<std::string>{"127.0.0.1:92/Ecg/WriteTicksBase", "b"}));

    // Null and missing members remove their keys; a numeric Id keeps its exact digits.
    rig.login(200, R"({"Id":1002,"Token":null,"VUApiKey":"k2"})");
    EXPECT_FALSE(rig.settings.has(keys::token));
    EXPECT_FALSE(rig.settings.has(keys::fileServers));
    EXPECT_FALSE(rig.settings.has(keys::markedServer));
    EXPECT_EQ(rig.settings.object(keys::PatientId), SettingValue(std::int64_t{1002}));
    rig.login(200, R"({"Id":123456789.0})");
    EXPECT_EQ(rig.settings.object(keys::PatientId), SettingValue(std::int64_t{123456789}));
    // Digits a double would change are kept as the server wrote them.
    for (const std::string id : {"12.5", "99999999999999999999999", "18446744073709551616", "9007199254740993.5",
                                 "1e3"}) {
        rig.login(200, R"({"Id":)" + id + "}");
        EXPECT_EQ(patientId(rig.settings), id);
    }
    rig.login(200, R"({"Id":9007199254740993.0})");
    EXPECT_EQ(rig.settings.object(keys::PatientId), SettingValue(std::int64_t{9007199254740993}));
    // Of two members named Id the last counts, as in the object.
    rig.login(200, R"({"Id":1.5,"Id":18446744073709551615})");
    EXPECT_EQ(patientId(rig.settings), "18446744073709551615");
    rig.login(200, R"({"Id":1.5,"Id":9007199254740993.0})");

    // Without an Id nothing is stored, and the user is told as for a refusal.
    for (const char* body : {R"({"StatusMessage":"Welcome","Id":null,"Token":"t"})", R"({"Token":"t"})"})
        EXPECT_EQ(rig.login(200, body), dialog("Login unsuccessful.", "Login unsuccessful.")) << body;
    EXPECT_EQ(patientId(rig.settings), "9007199254740993");
}

} // namespace
} // namespace velorin

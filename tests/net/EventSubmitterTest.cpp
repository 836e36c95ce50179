#include "NetRig.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <set>

namespace velorin {
namespace {

TEST(EventSubmission, AnnotationFirstThenTheExactRequestWithOrWithoutPatient)
{
    NetRig rig;
    rig.acq.packetsSinceStart.store(154);
    rig.acq.recordBuffer = "before";
    rig.mark("Walking");
    EXPECT_EQ(rig.acq.recordBuffer, "before10116812.3200001033101197Walking");
    ASSERT_EQ(rig.http.sent.size(), 1u);
    const HttpRequest& request = rig.http.sent[0].request;
    EXPECT_EQ(request.method + " " + request.url, "POST " + testCollectionUrl);
    EXPECT_EQ(request.headers, jsonHeaders);
    EXPECT_EQ(request.body, R"({"VUApiKey":"5d07e1b94c2a4f86b3e0","Activity":"Walking","Date":"2017-05-27 10:15:00"})");
    EXPECT_EQ(request.timeout, std::chrono::seconds(60));

    rig.settings.set(keys::VUApiKey, std::string("k-17"));
    rig.settings.set(keys::PatientId, std::int64_t{4711});
    rig.acq.eventServerAddress = "127.0.0.1:8093/events";
    rig.runtime.runFor(61.0);
    rig.mark("Sitting");
    EXPECT_EQ(rig.http.sent[1].request.url, "http://127.0.0.1:8093/events");
    EXPECT_EQ(rig.body(1), R"({"VUApiKey":"k-17","Activity":"Sitting","PatientId":"4711","Date":"2017-05-27 10:16:01"})");

    rig.answer(0, 200, "noted");
    rig.answer(1, 200);
    EXPECT_EQ(rig.log.lines, std::vector<std::string>{"responseData: noted"});
}

TEST(EventSubmission, AnUndeliveredEventIsKeptAndSentAgainWithEachPassUntilDelivered)
{
    NetRig rig;
    rig.mark("Resting");
    const HttpRequest first = rig.http.sent[0].request;
    rig.answer(0, 0, "", "Host unreachable");
    const std::string kept = "/docs/EventBuffer/2017-05-27_101500.json";
    ASSERT_TRUE(rig.files.exists(kept));

    // One upload pass `after` seconds on; the event's try (if any) gets `status`.
    auto passResends = [&](double after, int status) {
        rig.runtime.runFor(after);
        const std::size_t before = rig.http.sent.size();
        rig.flush("c");
        bool resent = false;
        for (std::size_t i = before; i < rig.http.sent.size(); ++i) {
            const HttpRequest& r = rig.http.sent[i].request;
            const bool event = r.body == first.body && r.url == first.url && r.headers == first.headers;
            resent = resent || event;
            rig.answer(i, event ? status : 200, "ok");
        }
        return resent;
    };
    EXPECT_FALSE(passResends(29.0, 500)); // still held back
    EXPECT_TRUE(passResends(1.0, 503));
    EXPECT_TRUE(rig.files.exists(kept));
    EXPECT_TRUE(passResends(60.0, 200));
    EXPECT_FALSE(rig.files.exists(kept));
    EXPECT_FALSE(passResends(3600.0, 200));
}

TEST(EventSubmission, AKeptEventGoesWhereEventsGoNowNotWhereItFailed)
{
    NetRig rig;
    rig.mark("Walking");
    const std::string body = rig.body(0);
    rig.answer(0, 0, "", "Connection refused");
    // An event kept by an earlier build names the address it failed at.
    ASSERT_TRUE(rig.files.writeAtomically("/docs/EventBuffer/2017-05-27_101400.json",
                                          R"({"url":"http://127.0.0.1:1/gone","body":"{}"})").ok);

    // The server moved (a new login, another endpoint) before the next pass.
    rig.acq.eventServerAddress = "127.0.0.1:8092/Ecg/WriteTicksBase";
    rig.runtime.runFor(30.0);
    const std::size_t before = rig.http.sent.size();
    rig.flush("c");
    std::multiset<std::string> eventBodies;
    for (std::size_t i = before; i < rig.http.sent.size(); ++i) {
        const HttpRequest& r = rig.http.sent[i].request;
        if (r.body.find("VUApiKey") != std::string::npos || r.body == "{}") {
            EXPECT_EQ(r.url, "http://127.0.0.1:8092/Ecg/WriteTicksBase");
            eventBodies.insert(r.body);
        }
        rig.answer(i, 200, "ok");
    }
    EXPECT_EQ(eventBodies, (std::multiset<std::string>{body, "{}"}));
    EXPECT_FALSE(rig.files.exists("/docs/EventBuffer/2017-05-27_101500.json"));
}

} // namespace
} // namespace velorin

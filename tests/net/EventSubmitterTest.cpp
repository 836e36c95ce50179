#include "NetRig.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>


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
    // The server's back-off: 30 s less or more 20%, begun again by the 503 after the chunk was taken.
    EXPECT_FALSE(passResends(23.0, 500));
    EXPECT_TRUE(passResends(13.0, 503));
    EXPECT_TRUE(rig.files.exists(kept));
    EXPECT_FALSE(passResends(23.0, 200));
    EXPECT_TRUE(passResends(13.0, 200));
    EXPECT_FALSE(rig.files.exists(kept));
    EXPECT_FALSE(passResends(3600.0, 200));
}

TEST(EventSubmission, AKeptEventGoesToTheEventServerOfTheDayWhateverItsFileNames)
{
    NetRig rig;
    rig.mark("Walking");
    rig.answer(0, 0, "", "Connection refused");
    // Written by an earlier version, or planted: the address in the file is not followed.
    rig.files.writeAtomically("/docs/EventBuffer/2017-05-27_090000.json",
                              R"({"url":"http://127.0.0.1:1/elsewhere","body":"{}"})");
    rig.acq.eventServerAddress = "127.0.0.1:8093/events";
    rig.runtime.runFor(31.0);
    rig.flush("c");
    std::vector<std::string> eventUrls;
    for (const auto& sent : rig.http.sent)
        if (sent.request.body.find("fileName") == std::string::npos)
            eventUrls.push_back(sent.request.url);
    EXPECT_EQ(eventUrls, (std::vector<std::string>{testCollectionUrl, "http://127.0.0.1:8093/events",
                                                   "http://127.0.0.1:8093/events"}));
}

TEST(EventSubmission, EveryEventOfABurstWithinOneSecondIsKept)
{
    NetRig rig;
    constexpr std::size_t marks = 1100; // more than the folder's copies of one name
    for (std::size_t i = 0; i < marks; ++i)
        rig.mark("Walking");
    // The first refusal holds the server back: those not sent yet are kept at once.
    for (std::size_t i = 0; i < rig.http.sent.size(); ++i)
        rig.answer(i, 0, "", "Connection refused");
    std::vector<std::string> kept;
    ASSERT_TRUE(rig.files.listDirectory("/docs/EventBuffer", kept).ok);
    EXPECT_EQ(kept.size(), marks);
}

} // namespace
} // namespace velorin

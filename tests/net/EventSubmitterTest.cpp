#include "NetRig.h"
#include "net/Base64.h"
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

TEST(Base64, AnythingButStrictStandardBase64IsRefused)
{
    // Wrong length, padding left off, a line break, a space, the URL alphabet, padding before the end,
    // three padding characters, padding where data must be, nothing but padding, data after padding,
    // stray bits under two or one padding characters.
    for (const char* text : {"Zm9vYg=", "Zm9vYg", "Zm9v\nYmFy", "Zm9v YmFy", "Zm9-YmFy", "Zm9_YmFy", "Zm==YmFy",
                             "Zm9vY===", "Z===", "====", "Zm9vY=Fy", "Zm9vYh==", "Zm9vYmF="})
        EXPECT_FALSE(decodeBase64(text)) << text;
    EXPECT_FALSE(decodeBase64(std::string("Zm9v\0mFy", 8)));
}

} // namespace
} // namespace velorin

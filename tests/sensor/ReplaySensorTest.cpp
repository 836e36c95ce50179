#include "sensor/sim/ReplaySensor.h"

#include "sensor/SensorTestSupport.h"

#include "../fakes/MemoryFiles.h"

#include <gtest/gtest.h>

#include <map>

namespace velorin {
using namespace std::chrono_literals;
namespace {

struct ReplaySensorTest : testing::Test, test::SensorHarness {
    ReplaySensor& replay(std::vector<ReplayUpdate> list)
    {
        sensor = std::make_unique<ReplaySensor>(bluetooth, main, runtime.timers(), runtime.clock(), std::move(list));
        sensor->onFinished([this] { finished.push_back({"finished", {}, runtime.elapsed(), running}); });
        return *sensor;
    }
    std::unique_ptr<ReplaySensor> sensor;
    std::vector<Update> finished;
};

TEST_F(ReplaySensorTest, UpdatesArriveAtTheirTimesOnTheBluetoothQueueThenFinishOnceOnMain)
{
    const std::vector<ReplayUpdate> list{
        {0ms, "2A37", {1}}, {500ms, "2A37", {2, 3}}, {500ms, "2A19", {80}}, {1250ms, "FFE1", {}}, {7500ms, "2A37", {4}}};
    auto& sensor = replay(list);
    runtime.runFor(3.0);
    sensor.start(delegate);
    sensor.readBatteryLevel(); // a replay only plays what was recorded
    runtime.runFor(7.4);
    EXPECT_EQ(updates.size(), 4u);
    EXPECT_TRUE(finished.empty());
    runtime.runFor(60.0);

    ASSERT_EQ(updates.size(), list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(updates[i].characteristic, list[i].characteristic);
        EXPECT_EQ(updates[i].value, list[i].value);
        EXPECT_EQ(updates[i].queue, "bluetooth");
        EXPECT_NEAR(updates[i].at, 3.0 + toSeconds(list[i].at), 1e-9);
    }
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_NEAR(finished[0].at, 10.5, 1e-9);
    EXPECT_EQ(finished[0].queue, "main");
}

TEST_F(ReplaySensorTest, EmptyReplayFinishesAtOnceButNotInsideStart)
{
    replay({}).start(delegate);
    EXPECT_TRUE(finished.empty());
    runtime.runFor(10.0);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].at, 0.0);
    EXPECT_EQ(finished[0].queue, "main");
}

TEST_F(ReplaySensorTest, StopDropsEvenAnUpdateOnItsWayAndRestartPlaysFromTheBeginning)
{
    auto& sensor = replay({{1000ms, "2A37", {1}}, {2000ms, "2A37", {2}}});
    sensor.start(delegate);
    // Due with the first update but set after its timer: it stops between posting and delivery.
    runtime.timers().oneShot(1s, [&] { sensor.stop(); });
    runtime.runFor(10.0);
    EXPECT_TRUE(updates.empty());
    EXPECT_TRUE(finished.empty());

    sensor.start(delegate);
    runtime.runFor(1.5);
    sensor.start(delegate);
    runtime.runFor(10.0);
    ASSERT_EQ(updates.size(), 3u);
    EXPECT_NEAR(updates[1].at, 12.5, 1e-9);
    EXPECT_EQ(updates[1].value, std::vector<std::uint8_t>{1});
    EXPECT_NEAR(updates[2].at, 13.5, 1e-9);
    EXPECT_EQ(finished.size(), 1u);
}

TEST(ReplayLoad, ExtensionChoosesTheFormatAndErrorsNameThePath)
{
    MemoryFiles files;
    files.files = {{"/r/day.s2", "10022" + std::string(20, 'A')},
                      {"/r/DAY.S2", ""},
                      {"/r/day.log", "@1 2A19: 50\n"},
                      {"/r/log.s2", "@1 2A19: 50\n"},
                      {"/r/bad.log", "01\n0G\n"}};
    const auto error = [&](const std::string& path) {
        const auto result = loadReplay(files, path);
        return std::holds_alternative<ReplayError>(result) ? describe(std::get<ReplayError>(result)) : "";
    };
    EXPECT_EQ(std::get<0>(loadReplay(files, "/r/day.s2")).size(), 1u);
    EXPECT_TRUE(std::get<0>(loadReplay(files, "/r/DAY.S2")).empty());
    EXPECT_EQ(std::get<0>(loadReplay(files, "/r/day.log")), (std::vector<ReplayUpdate>{{1000ms, "2A19", {0x50}}}));
    EXPECT_EQ(error("/r/log.s2"), "/r/log.s2: byte 0: unrecognised bytes");
    EXPECT_EQ(error("/r/bad.log"), "/r/bad.log:2: 'G' is not a hex digit");
    EXPECT_EQ(error("/r/missing.log"), "cannot read /r/missing.log: No such file or directory");
}

} // namespace
} // namespace velorin

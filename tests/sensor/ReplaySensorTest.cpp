#include "sensor/sim/ReplaySensor.h"

#include "platform/virtual/VirtualRuntime.h"
#include "sensor/SensorSource.h"
#include "sensor/sim/ReplayFile.h"

#include "../fakes/MemoryFiles.h"

#include <gtest/gtest.h>

namespace velorin {
using namespace std::chrono_literals;
namespace {

// A virtual runtime whose queues note which of them is running, and a delegate that records every
// update with its time since the start and the queue that delivered it.
struct SensorHarness {
    struct LabelledQueue : Queue {
        LabelledQueue(Queue& inner, std::string label, std::string& running)
            : inner(inner), label(std::move(label)), running(running)
        {
        }
        void async(Task task) override
        {
            inner.async([this, task = std::move(task)] {
                const std::string outer = running;
                running = label;
                task();
                running = outer;
            });
        }
        Queue& inner;
        std::string label;
        std::string& running;
    };
    struct Update {
        std::string characteristic;
        std::vector<std::uint8_t> value;
        double at;
        std::string queue;
    };
    struct Recorder : SensorDelegate {
        explicit Recorder(SensorHarness& h) : h(h) {}
        void peripheralDidUpdateValueForCharacteristic(std::string_view characteristic,
                                                       std::span<const std::uint8_t> value,
                                                       std::string_view error) override
        {
            EXPECT_TRUE(error.empty());
            h.updates.push_back(
                {std::string(characteristic), {value.begin(), value.end()}, h.runtime.elapsed(), h.running});
        }
        SensorHarness& h;
    };

    VirtualRuntime runtime{1000.0};
    std::string running = "timer";
    LabelledQueue bluetooth{runtime.bluetoothQueue(), "bluetooth", running};
    LabelledQueue main{runtime.mainQueue(), "main", running};
    std::vector<Update> updates;
    Recorder delegate{*this};
};

// Updates from a list.
struct ListSource : ReplaySource {
    std::optional<ReplayUpdate> next() override
    {
        return given < updates.size() ? std::optional(updates[given++]) : std::nullopt;
    }
    const std::optional<ReplayError>& error() const override { return none; }

    std::vector<ReplayUpdate> updates;
    std::size_t given = 0;
    std::optional<ReplayError> none;
};

struct ReplaySensorTest : testing::Test, SensorHarness {
    ReplaySensor& replay(std::vector<ReplayUpdate> list)
    {
        return play([list] {
            auto source = std::make_unique<ListSource>();
            source->updates = list;
            return source;
        });
    }
    ReplaySensor& play(ReplaySensor::Opener open)
    {
        sensor = std::make_unique<ReplaySensor>(bluetooth, main, runtime.timers(), runtime.clock(), [this, open] {
                                                    ++opens;
                                                    return open();
                                                });
        sensor->onFinished([this] { finished.push_back({"finished", {}, runtime.elapsed(), running}); });
        sensor->onProblem([this](const ReplayError& error) {
            finished.push_back({describe(error), {}, runtime.elapsed(), running});
        });
        return *sensor;
    }
    std::unique_ptr<ReplaySensor> sensor;
    std::vector<Update> finished; // problems and finishes, in order
    int opens = 0;
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
    EXPECT_EQ(opens, 3);
}

TEST_F(ReplaySensorTest, AFileChangedOrRemovedAfterItsCheckEndsTheReplayWithItsProblem)
{
    MemoryFiles files;
    files.files["/r/day.log"] = "01\n02\n";
    auto& sensor = play(replayOpener(files, "/r/day.log"));
    sensor.start(delegate);
    runtime.runFor(10.0);
    EXPECT_EQ(updates.size(), 2u);
    ASSERT_EQ(finished.size(), 1u);

    files.files["/r/day.log"] = "01\n0G\n";
    sensor.start(delegate);
    runtime.runFor(10.0);
    EXPECT_EQ(updates.size(), 3u);
    ASSERT_EQ(finished.size(), 3u);
    EXPECT_EQ(finished[1].characteristic, "/r/day.log:2: 'G' is not a hex digit"); // then "finished"
    EXPECT_EQ(finished[2].characteristic, "finished");

    files.files.clear();
    sensor.start(delegate);
    EXPECT_EQ(finished.size(), 3u); // not inside start()
    runtime.runFor(10.0);
    ASSERT_EQ(finished.size(), 5u);
    EXPECT_EQ(finished[3].characteristic, "cannot read /r/day.log: No such file or directory");
    EXPECT_EQ(finished[4].characteristic, "finished");
}

} // namespace
} // namespace velorin

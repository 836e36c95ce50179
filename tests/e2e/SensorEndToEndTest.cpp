#include "RecorderRun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velorin {
namespace {

// The link as a user meets it: choose with a pin, warnings once each in order, a drop mended by
// itself, the disconnect button ending it; and the choice remembered by the next run.
TEST_F(RecorderRun, TheSimulatedSensorIsChosenWatchedReconnectedAndRemembered)
{
    const std::string script = write("link.script", "0.5 choose 1 1234\n"
                                                    "5 sim battery 8\n"
                                                    "12 sim battery 9\n"
                                                    "16 sim rssi -86\n"
                                                    "22 sim rssi -90\n"
                                                    "26 sim drop\n"
                                                    "40 disconnect\n"
                                                    "60 quit\n");
    const RunResult r = sim({"--sim-sensors", "2", "--script", script});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, " sensor-list "), 2u) << r.out;
    EXPECT_NE(r.out.find("0.500 sensor-list 7A3F1C20-5B8D...  -60dB"), std::string::npos) << r.out;
    // The pin is written at the choice and again when the dropped link comes back, not after the button.
    EXPECT_EQ(count(r.err, "sim write 2A39 07 04 31 32 33 34"), 2u) << r.err;
    const std::size_t low = r.out.find("alert Sensor battery low | Please charge your Nimbo!");
    const std::size_t veryLow = r.out.find("alert Sensor battery very low | Please charge your Nimbo to avoid damages!");
    ASSERT_NE(low, std::string::npos) << r.out;
    ASSERT_NE(veryLow, std::string::npos) << r.out;
    EXPECT_LT(low, veryLow);
    EXPECT_EQ(count(r.out, "alert Bluetooth getting out of range | Sensor disconnected. Please connect again."), 1u);
    EXPECT_EQ(count(r.out, "notice Sensor disconnected."), 2u) << r.out;
    EXPECT_EQ(count(r.out, "sensor Ok"), 2u) << r.out;

    // The choice outlives the run: the sensor is taken up again without a list, with its pin.
    const RunResult again = run({"--clock", "virtual", "--duration", "5", "--sim-sensors", "2"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(count(again.out, "sensor-list"), 0u);
    EXPECT_NE(again.out.find("sensor Ok"), std::string::npos) << again.out;
    EXPECT_EQ(count(again.err, "sim write 2A39 07 04 31 32 33 34"), 1u) << again.err;
}

// Without a Bluetooth adapter the recorder says so and keeps running until told to stop.
TEST_F(RecorderRun, BluetoothWithoutAnAdapterShowsCancelAndRunsOn)
{
    std::error_code error;
    if (!std::filesystem::is_empty("/sys/class/bluetooth", error) && !error)
        GTEST_SKIP() << "this machine has a Bluetooth adapter";
    const RunResult r = run({"--accept-terms", "--sensor", "ble", "--duration", "1.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" sensor Cancel"), std::string::npos) << r.out;
}

} // namespace
} // namespace velorin

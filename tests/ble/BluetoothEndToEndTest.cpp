// The programs over QtBluetooth against an emulated BlueZ whose sensor sends a synthetic ECG: what
// a user with a real sensor on a Linux desktop would meet, in real time.

#include "../e2e/RecorderRun.h"
#include "EmulatedBluez.h"
#include "sensor/sim/SyntheticPackets.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace velorin {
namespace {

using namespace std::chrono_literals;

using Writes = std::vector<std::vector<std::uint8_t>>;
const std::vector<std::uint8_t> pinWrite{0x07, 0x04, '1', '2', '3', '4'};

std::vector<std::vector<std::uint8_t>> ecgPackets(std::size_t count)
{
    SyntheticPackets source(70, 87, 7);
    std::vector<std::vector<std::uint8_t>> packets;
    for (std::size_t i = 0; i < count; ++i) {
        const auto packet = source.nextPacket();
        packets.emplace_back(packet.begin(), packet.end());
    }
    return packets;
}

std::string sampleText(const std::vector<std::vector<std::uint8_t>>& packets)
{
    std::string text;
    for (const auto& packet : packets)
        for (const std::int32_t sample : unpackSamples(packet))
            text += std::to_string(sample) + ' ';
    return text;
}

class BluetoothRun : public RecorderRun {
protected:
    EmulatedBluez bluez{m_dir};

    void start(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--documents", docs, "--settings", settings, "--sensor", "ble", "-v",
                                   "--duration", "150"});
        if (std::string_view(m_program) == VELORIN_RECORD_BIN)
            args.push_back("--accept-terms");
        else if (!files.exists(settings)) {
            EXPECT_TRUE(files.createDirectories(m_dir + "/config", 0700).ok);
            write("config/settings.json", R"({"termsAccept": true})");
        }
        // Emptied here, not only in the child, so that nothing of an earlier run is read as this one's.
        for (const char* stream : {"stdout", "stderr"})
            EXPECT_TRUE(files.writeAtomically(m_dir + "/" + stream, "").ok);
        m_pid = spawn(args, [this] {
            bluez.exportTo();
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        });
    }

    // Until the emulated sensor has taken `count` writes: the pin is written after the notifications
    // were asked for (2A39 follows 2A37), so "Notification began" may come first.
    bool waitForWrites(const std::string& sensor, std::size_t count)
    {
        return waitUntil([&] { return bluez.stats(sensor).writes.size() >= count; }, "the writes", 10s);
    }

    struct Recording {
        std::vector<std::vector<std::uint8_t>> packets; // of every stream, in order
        std::string samples;                            // of every chunk, in order
        std::size_t streams = 0;
    };
    Recording readRecording()
    {
        Recording recording;
        for (const std::string& name : listDocs()) {
            if (name.ends_with(".ecg"))
                recording.samples += doc(name);
            if (!name.ends_with(".s2"))
                continue;
            ++recording.streams;
            for (auto& packet : streamPackets(doc(name), name))
                recording.packets.push_back(std::move(packet));
        }
        return recording;
    }
};

// The whole way from the sensor into the files: only the exact name is listed, and only when
// heard; the pin is written as a request; every notified packet lands in the chunks sample for
// sample and in the stream byte for byte; each battery read gives one reading.
TEST_F(BluetoothRun, ARealEcgArrivesWholeWithThePinAndOneBatteryReadingPerRead)
{
    const std::string sensor = bluez.addDevice("C4:7C:8D:6A:3B:01", "Nimbo");
    const std::string unheard = bluez.addDevice("C4:7C:8D:6A:3B:04", "Nimbo");
    bluez.setInRange(sensor, true, -61);
    for (const auto& [address, name] : {std::pair{"C4:7C:8D:6A:3B:02", "nimbo"}, {"C4:7C:8D:6A:3B:03", "Nimbo 12345"}})
        bluez.setInRange(bluez.addDevice(address, name, false), true);
    start({"--pin", "1234"});
    ASSERT_TRUE(waitFor("Notification began on 2A37"));
    const auto packets = ecgPackets(700);
    bluez.call("Stream", sensor, packets, 0.0);
    ASSERT_TRUE(waitFor("Value ", packets.size()));
    // Reads come every 5 s; just after the second answer the emulation has seen two.
    ASSERT_TRUE(waitFor(" battery 87%", 2));
    const SensorSaw saw = bluez.stats(sensor);
    EXPECT_EQ(count(printed("stdout"), " battery 87%"), 2u);
    EXPECT_EQ(saw.reads.at("2a19"), 2);
    ASSERT_EQ(finish(), 0) << m_result.err;

    EXPECT_EQ(count(m_result.out, " sensor-list "), 1u) << m_result.out;
    EXPECT_NE(m_result.out.find("-61dB"), std::string::npos) << m_result.out;
    EXPECT_EQ(saw.writes, Writes{pinWrite});
    EXPECT_EQ(saw.writeTypes, std::vector<std::string>{"request"});
    EXPECT_EQ(bluez.stats(unheard).connects, 0);
    EXPECT_NE(m_result.err.find("Bluetooth: BlueZ's D-Bus GATT API (bluetoothd 5.66 from BLUETOOTH_FORCE_DBUS_LE_VERSION)"),
              std::string::npos) << m_result.err;

    // Recording starts once the first packet has been shown, while the burst goes on: the stream
    // begins some packets in (the chunks keep what came before), and from there both hold every one.
    const auto [recorded, samples, streams] = readRecording();
    EXPECT_EQ(streams, 1u);
    ASSERT_GE(recorded.size(), packets.size() / 2);
    const std::size_t first = packets.size() - recorded.size();
    EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), packets.begin() + static_cast<std::ptrdiff_t>(first)));
    const std::size_t chunked = static_cast<std::size_t>(std::count(samples.begin(), samples.end(), ' ')) / 14;
    ASSERT_LE(chunked, packets.size());
    const std::string expected = sampleText({packets.end() - static_cast<std::ptrdiff_t>(chunked), packets.end()});
    EXPECT_EQ(samples, expected);
}

// A dropped link, the radio switched off, bluetoothd going away and the device forgotten: each time
// the sensor comes back by itself, with its pin written again, into the same recording.
TEST_F(BluetoothRun, TheSensorComesBackAfterEveryKindOfLossIntoOneRecording)
{
    std::string sensor = bluez.addDevice("C4:7C:8D:6A:3B:01", "Nimbo");
    bluez.setInRange(sensor, true);
    start({"--pin", "1234"});
    const auto packets = ecgPackets(240);
    std::size_t sent = 0, links = 1;
    auto streamSome = [&] {
        ASSERT_TRUE(waitFor("Notification began on 2A37", links));
        const auto from = packets.begin() + static_cast<std::ptrdiff_t>(sent);
        bluez.call("Stream", sensor, std::vector<std::vector<std::uint8_t>>(from, from + 40), 0.0);
        sent += 40;
        ASSERT_TRUE(waitFor("Value ", sent));
    };
    streamSome();

    bluez.call("DropLink", sensor);
    ASSERT_TRUE(waitFor("notice Sensor disconnected."));
    ++links;
    streamSome();
    ASSERT_TRUE(waitFor("notice Sensor reconnected."));
    ASSERT_TRUE(waitForWrites(sensor, 2));
    EXPECT_EQ(bluez.stats(sensor).writes, (Writes{pinWrite, pinWrite}));

    bluez.call("SetPowered", false);
    ASSERT_TRUE(waitFor("alert Bluetooth turned off"));
    bluez.call("SetPowered", true);
    ++links;
    streamSome();

    bluez.stopService();
    ASSERT_TRUE(waitFor("alert Bluetooth turned off", 2));
    bluez.startService();
    sensor = bluez.addDevice("C4:7C:8D:6A:3B:01", "Nimbo");
    bluez.setInRange(sensor, true);
    ++links;
    streamSome();

    bluez.call("Forget", sensor);
    ASSERT_TRUE(waitFor("notice Sensor disconnected.", 4));
    sensor = bluez.addDevice("C4:7C:8D:6A:3B:01", "Nimbo");
    bluez.setInRange(sensor, true);
    ++links;
    streamSome();
    ASSERT_TRUE(waitForWrites(sensor, 1));
    EXPECT_EQ(bluez.stats(sensor).writes, Writes{pinWrite});
    ASSERT_EQ(finish(), 0) << m_result.err;

    const auto [recorded, samples, streams] = readRecording();
    EXPECT_EQ(streams, 1u);
    // Recording begins once the first packet has been shown: during the first burst or just after it.
    // From there on nothing is missing.
    ASSERT_GE(recorded.size(), sent - 40);
    EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), packets.begin() + static_cast<std::ptrdiff_t>(sent - recorded.size())));
}

// Remembered from an earlier run, a sensor BlueZ only knows of is not dialled; once heard, it is.
TEST_F(BluetoothRun, ARememberedSensorIsDialledOnlyOnceHeard)
{
    const std::string sensor = bluez.addDevice("C4:7C:8D:6A:3B:01", "Nimbo");
    bluez.setInRange(sensor, true);
    start({"--pin", "1234"});
    ASSERT_TRUE(waitFor("Notification began on 2A37"));
    ASSERT_TRUE(waitForWrites(sensor, 1));
    ASSERT_EQ(finish(), 0) << m_result.err;

    bluez.setInRange(sensor, false);
    start({});
    ASSERT_TRUE(waitFor("CoreBluetooth BLE hardware is powered on and ready"));
    std::this_thread::sleep_for(3s); // the time a cached device used to be dialled in
    EXPECT_EQ(bluez.stats(sensor).connects, 1);
    bluez.setInRange(sensor, true);
    ASSERT_TRUE(waitFor("Notification began on 2A37"));
    ASSERT_TRUE(waitForWrites(sensor, 2));
    const SensorSaw saw = bluez.stats(sensor);
    EXPECT_EQ(saw.connects, 2);
    EXPECT_EQ(saw.writes, (Writes{pinWrite, pinWrite}));
    ASSERT_EQ(finish(), 0) << m_result.err;
    EXPECT_EQ(count(m_result.out, "sensor-list"), 0u) << m_result.out;

    // A link an earlier run left behind (it was killed): the sensor no longer advertises, and is
    // taken up all the same.
    bluez.call("Link", sensor);
    start({});
    ASSERT_TRUE(waitFor("Notification began on 2A37"));
    EXPECT_TRUE(waitForWrites(sensor, 3));
    ASSERT_EQ(finish(), 0) << m_result.err;
}

// Refusals, odd values, crowds and wrong types are logged and lived through; the link comes back
// once the service answers again.
TEST_F(BluetoothRun, HostileAnswersAreLoggedAndLivedThrough)
{
    const std::string sensor = bluez.addDevice("C4:7C:8D:6A:3B:01", "Nimbo");
    bluez.setInRange(sensor, true);
    bluez.call("SetConnect", sensor, "ok", 2.0); // a slow connection
    bluez.call("Refuse", sensor, "read:2a38", true);
    bluez.call("Refuse", sensor, "write:2a39", true);
    bluez.call("SetValue", sensor, "2a19", std::vector<std::uint8_t>{});
    const std::string longName = bluez.addDevice("C4:7C:8D:6A:3B:05", std::string(300, 'N'), false);
    bluez.setInRange(longName, true);
    bluez.setProperty(longName, "org.bluez.Device1", "RSSI", QStringLiteral("loud"));
    start({"--pin", "1234"});
    ASSERT_TRUE(waitFor("Notification began on 2A37"));
    EXPECT_TRUE(waitFor("Update")); // the refused read is answered with an error, and logged

    std::vector<std::vector<std::uint8_t>> odd;
    for (std::size_t size : {0, 18, 19, 21, 512})
        odd.emplace_back(size, 0x5A);
    bluez.call("Stream", sensor, odd, 0.0);
    bluez.call("AddCrowd", 1000u, "Nimbo");
    ASSERT_TRUE(waitFor("Value ", 4)); // an empty value has nothing to log
    ASSERT_TRUE(waitFor("Signal judged from ECG packets")); // a battery read of no bytes went by
    EXPECT_EQ(count(printed("stdout"), " battery "), 0u);
    bluez.call("SetValue", sensor, "2a19", std::vector<std::uint8_t>{255});
    ASSERT_TRUE(waitFor("Ignored battery value 255: not a charge in percent", 1, 10s));

    // Every call failing, then connections failing, then the device gone while its services are
    // looked at: tried again and again until it works, never hung.
    bluez.call("SetFault", "error");
    bluez.call("DropLink", sensor);
    ASSERT_TRUE(waitFor("Bluetooth discovery failed"));
    bluez.call("SetConnect", sensor, "fail", 0.0);
    bluez.call("SetFault", "");
    ASSERT_TRUE(waitFor("Did fail to connect", 2));
    bluez.call("SetConnect", sensor, "ok", 0.0);
    ASSERT_TRUE(waitFor("Notification began on 2A37", 2));
    bluez.call("SetConnect", sensor, "vanish", 0.0);
    bluez.call("DropLink", sensor);
    ASSERT_TRUE(waitFor("notice Sensor disconnected.", 2));
    ASSERT_TRUE(waitFor("The sensor list holds 64 sensors"));
    ASSERT_EQ(finish(), 0) << m_result.err;
}

// Without the Bluetooth service the recorder says so in one line and runs on; when the service
// starts, the sensor is found.
TEST_F(BluetoothRun, ABluetoothServiceThatIsNotThereIsSaidAndWaitedFor)
{
    bluez.stopService();
    start({"--pin", "1234"});
    ASSERT_TRUE(waitFor(" sensor Cancel"));
    EXPECT_TRUE(waitFor("Bluetooth: BlueZ (org.bluez) does not run on the system bus"));
    bluez.startService();
    bluez.setInRange(bluez.addDevice("C4:7C:8D:6A:3B:01", "Nimbo"), true);
    EXPECT_TRUE(waitFor("Notification began on 2A37"));
    ASSERT_EQ(finish(), 0) << m_result.err;
}

// The desktop application, offscreen, takes the sensor the user picks and records what it sends.
TEST_F(BluetoothRun, TheWindowRecordsThePickedSensor)
{
    m_program = VELORIN_BIN;
    const std::string sensor = bluez.addDevice("C4:7C:8D:6A:3B:01", "Nimbo");
    bluez.setInRange(sensor, true);
    start({"--script", write("pick.script", "1.5 choose 1 1234\n3 start\n")});
    ASSERT_TRUE(waitFor("Notification began on 2A37"));
    const auto packets = ecgPackets(300);
    bluez.call("Stream", sensor, packets, 0.02);
    ASSERT_TRUE(waitFor("Value ", packets.size(), 30s));
    EXPECT_EQ(bluez.stats(sensor).writes, Writes{pinWrite});
    ASSERT_EQ(finish(), 0) << m_result.err;
    const auto [recorded, samples, streams] = readRecording();
    ASSERT_FALSE(recorded.empty()) << m_result.err;
    EXPECT_EQ(recorded.back(), packets.back());
}

} // namespace
} // namespace velorin

int main(int argc, char** argv)
{
    // The emulation's control connection is a QtDBus one.
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

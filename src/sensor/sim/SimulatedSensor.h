#pragma once

#include "platform/Queue.h"
#include "platform/Timers.h"
#include "sensor/SensorSource.h"
#include "sensor/sim/SyntheticPackets.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace velorin {

struct SimulatedSensorOptions {
    int bpm = 72;
    int startBattery = 87; // percent, clamped to 0..100
    std::uint32_t seed = 1;
};

// A sensor that needs no hardware: from start() on it sends an ECG packet every 0.112 s, 14 synthetic
// samples and a 16-bit packet counter, and answers battery reads with a charge that drops by one
// percent per 20 minutes of streaming.
//
// Packets are made on the Bluetooth queue, which owns the synthesizer, the counter and the buffers,
// so nothing is shared with the main queue but the delegate pointer. The owner keeps the sensor alive
// until the Bluetooth queue has drained after stop().
class SimulatedSensor : public SensorSource {
public:
    static constexpr Nanoseconds packetInterval = std::chrono::milliseconds(112);
    static constexpr int minutesPerBatteryPercent = SyntheticPackets::minutesPerBatteryPercent;

    SimulatedSensor(Queue& bluetoothQueue, Queue& mainQueue, Timers& timers, SimulatedSensorOptions options = {});
    ~SimulatedSensor() override;
    SimulatedSensor(const SimulatedSensor&) = delete;
    SimulatedSensor& operator=(const SimulatedSensor&) = delete;

    void start(SensorDelegate& delegate) override;
    void stop() override;
    void readBatteryLevel() override;

private:
    void sendPacket();
    void sendBatteryLevel();

    Queue& m_bluetoothQueue;
    Timers& m_timers;
    Timers::Id m_timer = 0; // main queue
    std::atomic<SensorDelegate*> m_delegate{nullptr};

    // Bluetooth queue only.
    SyntheticPackets m_packets;
    std::array<std::uint8_t, 1> m_battery{};
};

} // namespace velorin

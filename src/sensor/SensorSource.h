#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace velorin {

// Receives the sensor's value updates. Called on the Bluetooth queue, one update at a time.
class SensorDelegate {
public:
    virtual ~SensorDelegate() = default;
    // characteristic: the 16-bit UUID in upper-case hex ("2A37"); error: empty when there is none.
    virtual void peripheralDidUpdateValueForCharacteristic(std::string_view characteristic,
                                                           std::span<const std::uint8_t> value,
                                                           std::string_view error) = 0;
};

// Where value updates come from: the simulated sensor, a replay, or a real sensor over BLE.
class SensorSource {
public:
    virtual ~SensorSource() = default;
    // Begins delivering updates to the delegate on the Bluetooth queue. Called on the main queue.
    virtual void start(SensorDelegate& delegate) = 0;
    // Stops delivering; no update reaches the delegate after the Bluetooth queue has drained.
    virtual void stop() = 0;
    // Asks for a battery reading; the answer, if any, arrives as a "2A19" update. Main queue.
    virtual void readBatteryLevel() = 0;
    // Called on the main queue once a finite source has delivered its last update.
    void onFinished(std::function<void()> finished) { m_finished = std::move(finished); }

protected:
    void notifyFinished()
    {
        if (m_finished)
            m_finished();
    }

private:
    std::function<void()> m_finished;
};

} // namespace velorin

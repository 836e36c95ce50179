#pragma once

#include "platform/Queue.h"
#include "sensor/SensorSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velorin {

// A sensor the test drives by hand: each update is posted to the Bluetooth queue like a real one.
class ScriptedSensor : public SensorSource {
public:
    explicit ScriptedSensor(Queue& bluetooth) : m_bluetooth(bluetooth) {}

    void start(SensorDelegate& delegate) override { m_delegate = &delegate; }
    void stop() override { m_delegate = nullptr; }
    void readBatteryLevel() override { ++batteryReads; }

    void deliver(std::string characteristic, std::vector<std::uint8_t> value, std::string error = {})
    {
        m_bluetooth.async([this, characteristic, value, error] {
            if (m_delegate)
                m_delegate->peripheralDidUpdateValueForCharacteristic(characteristic, value, error);
        });
    }

    int batteryReads = 0;

private:
    Queue& m_bluetooth;
    SensorDelegate* m_delegate = nullptr;
};

} // namespace velorin

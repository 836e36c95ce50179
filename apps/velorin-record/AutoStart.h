#pragma once

#include "platform/Queue.h"
#include "sensor/SensorProfile.h"
#include "sensor/SensorSource.h"

#include <atomic>
#include <functional>

namespace velorin {

// Wraps a sensor so that, without a script, Start is pressed once the first ECG packet has been
// taken in, as a user would after seeing the trace come alive.
class AutoStart : public SensorSource, private SensorDelegate {
public:
    AutoStart(SensorSource& inner, Queue& mainQueue, std::function<void()> pressStart)
        : m_inner(inner), m_main(mainQueue), m_pressStart(std::move(pressStart))
    {
        m_inner.onFinished([this] { notifyFinished(); });
    }

    void start(SensorDelegate& delegate) override
    {
        m_delegate = &delegate;
        m_inner.start(*this);
    }
    void stop() override { m_inner.stop(); }
    void readBatteryLevel() override { m_inner.readBatteryLevel(); }

private:
    void peripheralDidUpdateValueForCharacteristic(std::string_view characteristic,
                                                   std::span<const std::uint8_t> value,
                                                   std::string_view error) override
    {
        m_delegate->peripheralDidUpdateValueForCharacteristic(characteristic, value, error);
        if (characteristic == profile::ecgPacket && !m_pressed.exchange(true))
            m_main.async(m_pressStart);
    }

    SensorSource& m_inner;
    Queue& m_main;
    std::function<void()> m_pressStart;
    SensorDelegate* m_delegate = nullptr;
    std::atomic<bool> m_pressed{false};
};

} // namespace velorin

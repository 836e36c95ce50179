#pragma once

#include "signal/SensorDelegate.h"

#include <functional>

namespace velorin {

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

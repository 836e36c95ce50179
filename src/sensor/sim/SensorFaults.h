#pragma once

#include "platform/Seconds.h"

namespace velorin {

// What can go wrong around a simulated central, to be caused on purpose (by a script, a demo or a
// test). Called on the main queue; each takes effect on the Bluetooth queue soon after. `sensor`
// counts the sensors named "Nimbo" from 0; an index that names none does nothing, as does every
// call while no central exists.
class SensorFaults {
public:
    virtual ~SensorFaults() = default;

    // The link breaks: a connected sensor is reported disconnected with an error.
    virtual void dropLink(int sensor) = 0;
    // The sensor leaves for `away`: a link breaks, scans do not see it and connections wait until it
    // is back.
    virtual void goOutOfRange(int sensor, Nanoseconds away) = 0;
    // Switching the radio off reports the new state and ends every link; scans do nothing while off.
    virtual void setRadioPowered(bool on) = 0;
    // The next connection attempt to the sensor fails with an error.
    virtual void refuseNextConnection(int sensor) = 0;
    // The next ECG notification is cut to 10 bytes.
    virtual void sendShortPacket(int sensor) = 0;
    // The charge that battery reads report from now on (it keeps dropping from there).
    virtual void setBatteryLevel(int sensor, int percent) = 0;
    // The strength scans and signal-strength reads report, in dBm.
    virtual void setSignalStrength(int sensor, int dBm) = 0;
};

} // namespace velorin

#pragma once

#include <string>

namespace velorin {

// The screen effects of the sensor link. Called on the Bluetooth queue (and on the main queue by
// the disconnect button); implementations post the view work to the main queue and never wait for it.
class LinkOutlets {
public:
    virtual ~LinkOutlets() = default;
    // The radio cannot be used (unknown, resetting, unsupported, unauthorized): the status icon says so.
    virtual void showRadioUnavailable() = 0;
    // The radio was switched off: the user is told to turn it on; the trace and the recording
    // controls are stilled until packets flow again.
    virtual void showRadioOff() = 0;
    // The chosen sensor was found and is being connected.
    virtual void showSensorTakenUp(const std::string& name) = 0;
    // The chosen sensor's link is up (set-up follows).
    virtual void showSensorConnected() {}
    // The link to the chosen sensor dropped. byUser: the disconnect button let it go; otherwise it
    // broke (range, radio, the sensor) and the link is looking for the sensor again.
    virtual void showSensorDisconnected(bool byUser) = 0;
    // Another sensor than the one streaming so far was chosen; its packets follow from now on.
    virtual void sensorChanged() {}
    virtual void disableDisconnect() = 0;
    virtual void showOutOfRange() = 0;
};

} // namespace velorin

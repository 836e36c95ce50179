#pragma once

#include "platform/Rgba.h"

#include <string>

namespace velorin {

// The monitor screen's outlets.
enum class Outlet {
    startButton,
    StopButton,
    startLandscape,
    stopLandscape,
    zoomIn,
    zoomOut,
    ampUp,
    ampDown,
    markEventButton,
    bpmLabel,
    bpm2Label,
    unlockButton,
    sensorImage,
    batteryLevels,
    batteryProgress,
    sensorName,
    cloudImage,
    disconnect,
    noSignal,     // "No signal" over the trace
    uploadStatus, // the upload status text beside the cloud icon
};

enum class Tint { standard, red };

enum class DeviceOrientation { unknown, portrait, portraitUpsideDown, landscapeLeft, landscapeRight, faceUp, faceDown };

inline bool isLandscape(DeviceOrientation o)
{
    return o == DeviceOrientation::landscapeLeft || o == DeviceOrientation::landscapeRight;
}

// A desktop window has no device orientation of its own: wider than tall is landscape. A window
// without an area yet (not laid out, or collapsed) has no orientation.
inline DeviceOrientation orientationOfWindow(int width, int height)
{
    if (width <= 0 || height <= 0)
        return DeviceOrientation::unknown;
    return width > height ? DeviceOrientation::landscapeLeft : DeviceOrientation::portrait;
}

// The monitor screen as its controller sees it. Every call is made on the main queue.
class MonitorView {
public:
    virtual ~MonitorView() = default;
    virtual void setShown(Outlet outlet, bool shown) = 0;
    virtual void setEnabled(Outlet outlet, bool enabled) = 0;
    virtual void setText(Outlet outlet, const std::string& text) = 0;
    virtual void setImage(Outlet outlet, const std::string& imageName) = 0;
    virtual void setProgress(Outlet outlet, float progress) = 0;
    virtual void setTint(Outlet outlet, Tint tint) = 0;
    // Stretches an outlet about its centre: 1 keeps its size along that axis.
    virtual void setScale(Outlet outlet, float across, float up) = 0;
    // A border of the given width in points around the outlet; 0 removes it.
    virtual void setBorder(Outlet outlet, float width, Rgba colour) = 0;
    // A transient notice over the screen.
    virtual void makeToast(const std::string& message) = 0;
    virtual DeviceOrientation orientation() const = 0;
    // Opens the login screen over the tab bar, with its own navigation, animated.
    virtual void presentLogin() = 0;
    // Brings the tab holding this screen (the first tab) to the front.
    virtual void selectMonitorTab() = 0;
};

} // namespace velorin

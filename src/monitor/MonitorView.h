#pragma once

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
};

enum class Tint { standard, red };

enum class DeviceOrientation { unknown, portrait, portraitUpsideDown, landscapeLeft, landscapeRight, faceUp, faceDown };

inline bool isLandscape(DeviceOrientation o)
{
    return o == DeviceOrientation::landscapeLeft || o == DeviceOrientation::landscapeRight;
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
    // A transient notice over the screen.
    virtual void makeToast(const std::string& message) = 0;
    virtual DeviceOrientation orientation() const = 0;
};

} // namespace velorin

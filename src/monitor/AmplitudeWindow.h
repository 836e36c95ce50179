#pragma once

#include "monitor/TraceGeometry.h"

namespace velorin {

class SettingsStore;

// The trace's vertical window as the amplitude controls keep it in the settings: the frame reads it
// at every frame, the zoom and amplitude buttons move it in steps of 25.
//
// A stored bound that is not a number, not finite or outside 0..1100 cannot be a window the
// buttons made: both the frame and the buttons then take the default 200..750 for the pair.
class AmplitudeWindow {
public:
    explicit AmplitudeWindow(SettingsStore& settings);

    // The window a frame uses; 200..750 unless min < max and neither is 0.
    VerticalWindow frameWindow() const;

    // Each writes both bounds back, changed or not.
    void zoom();
    void unzoom();
    void up();
    void down();

    static constexpr float step = 25.0f;
    static constexpr float largestBound = 1100.0f;

private:
    struct Bounds {
        float min;
        float max;
    };
    // A missing bound takes its default alone: what the buttons start from.
    Bounds buttonBounds() const;
    void write(Bounds bounds);

    SettingsStore& m_settings;
};

} // namespace velorin

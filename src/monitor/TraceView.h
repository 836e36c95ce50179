#pragma once

#include "signal/EkgMap.h"
#include "signal/TraceFeed.h"
#include "monitor/TraceGeometry.h"
#include "platform/ApplicationState.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace velorin {

// What one frame shows: the 180 points oldest first and the vertical window.
struct TraceFrame {
    std::array<TracePoint, traceLength> points;
    float newest;
    VerticalWindow window;
};

// Draws a frame on a real surface (the Qt painter); the renderer core works without one.
class TracePainter {
public:
    virtual ~TracePainter() = default;
    virtual void paint(const TraceFrame& frame) = 0;
};

// The live trace renderer's core: its display ring, the value array the trace feed writes, the
// running/stopped switch and the value taking of each frame. A frame is drawn only when drawView is
// called, once per value the feed writes.
class TraceView : public TraceTarget {
public:
    using WindowSource = std::function<VerticalWindow()>;

    explicit TraceView(const ApplicationState& appState);

    EkgMap& ekgMap() override { return m_ekgMap; }
    const EkgMap& ekgMap() const { return m_ekgMap; }

    // 0 = running, 1 = stopped.
    std::int32_t shouldStop() const override { return m_shouldStop.load(std::memory_order_acquire); }
    void setShouldStop(std::int32_t value) { m_shouldStop.store(value, std::memory_order_release); }
    // Starting after a stop leaves a gap before the values that follow.
    void startAnimation();
    void stopAnimation();
    // The values from the next one on are not next to those shown: the line breaks, with a short
    // blank stretch, instead of joining them. Any thread.
    void breakTrace() { m_gapPending.store(true, std::memory_order_release); }
    // Blank entries in the curve (NaN) that a break puts between the old line and the new one.
    static constexpr std::size_t gapLength = 6;

    // Draws one frame (when a painter is attached) and then takes the value the feed wrote last from
    // ekgMap, if it has not taken it yet. While the application is not foreground-active it draws
    // nothing, and the values it misses leave a gap.
    void drawView() override;
    // A layout rebuilds the surface and draws a frame; it never overlaps a frame in progress.
    void layoutSubviews(const std::function<void()>& rebuildSurface = {});

    // The amplitude bounds are read anew for every painted frame.
    void setPainter(TracePainter* painter, WindowSource window);

    std::size_t curveStart() const;
    std::array<float, traceLength> curve() const;

private:
    void drawViewLocked();
    // Puts the curve in step with the feed's latest value behind a blank stretch, keeping the old
    // line where it stands on screen apart from its oldest entries.
    void openGap(std::size_t latest);

    const ApplicationState& m_appState;
    EkgMap m_ekgMap;
    std::atomic<std::int32_t> m_shouldStop{0};
    std::atomic<bool> m_gapPending{false};
    mutable std::mutex m_frameMutex; // frames and layouts exclude each other
    std::array<float, traceLength> m_curve{};
    std::size_t m_curveStart = 0;
    TracePainter* m_painter = nullptr;
    WindowSource m_window;
};

} // namespace velorin

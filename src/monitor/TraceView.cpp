#include "monitor/TraceView.h"

#include <limits>

namespace velorin {

TraceView::TraceView(const ApplicationState& appState) : m_appState(appState) {}

void TraceView::startAnimation()
{
    // The view never creates a drawing timer of its own, so starting always clears the stop switch.
    if (m_shouldStop.exchange(0, std::memory_order_acq_rel) != 0)
        breakTrace();
}

void TraceView::stopAnimation()
{
    setShouldStop(1);
}

void TraceView::setPainter(TracePainter* painter, WindowSource window)
{
    std::lock_guard lock(m_frameMutex);
    m_painter = painter;
    m_window = std::move(window);
}

void TraceView::drawView()
{
    if (!m_appState.isActive()) {
        breakTrace();
        return;
    }
    std::lock_guard lock(m_frameMutex);
    drawViewLocked();
}

void TraceView::layoutSubviews(const std::function<void()>& rebuildSurface)
{
    if (!m_appState.isActive()) {
        // The rebuild still happens; the frame that follows it is skipped like any other.
        std::lock_guard lock(m_frameMutex);
        if (rebuildSurface)
            rebuildSurface();
        return;
    }
    std::lock_guard lock(m_frameMutex);
    if (rebuildSurface)
        rebuildSurface();
    drawViewLocked();
}

void TraceView::drawViewLocked()
{
    if (m_painter) {
        TraceFrame frame{frameVertices(m_curve, m_curveStart), 0.0f,
                         m_window ? m_window() : defaultWindow};
        frame.newest = frame.points[traceLength - 1].y;
        m_painter->paint(frame);
    }
    if (m_ekgMap.empty())
        return;
    // The value taken now shows from the next frame on. In step, the feed's latest value sits where
    // the curve takes next; one step ahead means it is taken already (a layout's frame).
    const std::size_t latest = m_ekgMap.latest();
    const bool inStep = m_curveStart == latest;
    if (!inStep && m_curveStart == (latest + 1) % traceLength && !m_gapPending.load(std::memory_order_acquire))
        return;
    if (m_gapPending.exchange(false, std::memory_order_acq_rel) || !inStep)
        openGap(latest);
    if (auto value = m_ekgMap.at(m_curveStart)) {
        m_curve[m_curveStart] = *value;
        m_curveStart = (m_curveStart + 1) % traceLength;
    }
}

void TraceView::openGap(std::size_t latest)
{
    // Shown oldest first, the curve becomes: the old line without its gapLength oldest entries, then
    // the blank stretch; the value about to be taken replaces the oldest and follows the blanks.
    std::array<float, traceLength> shifted;
    for (std::size_t i = 0; i < traceLength; ++i)
        shifted[(latest + i) % traceLength] = i + gapLength < traceLength
                                                  ? m_curve[(m_curveStart + gapLength + i) % traceLength]
                                                  : std::numeric_limits<float>::quiet_NaN();
    m_curve = shifted;
    m_curveStart = latest;
}

std::size_t TraceView::curveStart() const
{
    std::lock_guard lock(m_frameMutex);
    return m_curveStart;
}

std::array<float, traceLength> TraceView::curve() const
{
    std::lock_guard lock(m_frameMutex);
    return m_curve;
}

} // namespace velorin

#include "monitor/TraceView.h"

namespace velorin {

TraceView::TraceView(const ApplicationState& appState) : m_appState(appState) {}

void TraceView::startAnimation()
{
    // The view never creates a drawing timer of its own, so starting always clears the stop switch.
    setShouldStop(0);
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
    if (!m_appState.isActive())
        return;
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
    // The value taken now shows from the next frame on.
    if (auto value = m_ekgMap.at(m_curveStart)) {
        m_curve[m_curveStart] = *value;
        m_curveStart = (m_curveStart + 1) % traceLength;
    }
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

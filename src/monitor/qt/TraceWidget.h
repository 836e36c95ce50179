#pragma once

#include "monitor/AmplitudeWindow.h"
#include "monitor/TraceFrameSlot.h"
#include "monitor/TraceTap.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>

class QLabel;
class QPainter;

namespace velorin {

class SettingsStore;
class Timers;
class TraceView;

// The live trace on the monitor screen: a glowing line on black. The renderer draws its frames on
// the Bluetooth queue into a slot; this widget paints the latest whole one on the GUI thread, one
// coalesced repaint however many frames arrived meanwhile. A click is a tap: pause or resume.
class TraceWidget : public QWidget {
    Q_OBJECT
public:
    // Attaches itself to the renderer for its lifetime; the vertical window is read from the
    // settings at every frame.
    TraceWidget(TraceView& view, SettingsStore& settings, Timers& timers, QWidget* parent = nullptr);
    ~TraceWidget() override;

    // Paints one frame over the whole of a device of the given size. The marker is the glow image
    // already tinted (see tintedMarker); a null image leaves the marker out.
    static void paintFrame(QPainter& painter, QSize size, const TraceFrame& frame, const QImage& marker);
    // The glow image coloured as the marker is drawn: its alpha kept, its colour the trace blue.
    static QImage tintedMarker(const QImage& glow);
    // Our glow image from the resources (null when missing: the trace is drawn without a marker).
    static QImage markerImage();

    static constexpr int pausedLabelTag = 111;
    static constexpr int pausedLabelHeight = 420;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showPaused();
    void removePaused();

    TraceView& m_view;
    AmplitudeWindow m_window;
    QImage m_marker;
    // The last frame painted, at the widget's size in device pixels, and its number in the slot.
    QImage m_canvas;
    std::uint64_t m_canvasSequence = 0;
    // Set while a repaint is already asked for, so frames at 58 a second post one event, not 58.
    std::atomic<bool> m_repaintAsked{false};
    TraceFrameSlot m_slot;
    TraceTap m_tap;
};

} // namespace velorin

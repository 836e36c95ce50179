#pragma once

#include "monitor/AmplitudeWindow.h"
#include "monitor/TraceFrameSlot.h"
#include "monitor/TraceTap.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <optional>

class QLabel;
class QPainter;

namespace velorin {

class SettingsStore;
class Timers;
class TraceView;

// The live trace on the monitor screen: a glowing line on black. The renderer draws its frames on
// the Bluetooth queue into a slot, in bursts of about 13; this widget shows them on the GUI thread
// at an even pace of at most about 30 pictures a second, a couple of frames further at each tick,
// so the line glides instead of jumping a burst at a time. A click is a tap: pause or resume.
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
    // On the GUI thread after frames were published: the ticks resume if they had stopped.
    void wake();
    void showNextFrames();
    void showPaused();
    void removePaused();

    TraceView& m_view;
    AmplitudeWindow m_window;
    QImage m_marker;
    // The frame on show; the canvas holds it painted at the widget's size in device pixels, with
    // its number in the slot.
    std::optional<TraceFrameSlot::Published> m_shown;
    QImage m_canvas;
    std::uint64_t m_canvasSequence = 0;
    // Runs only while frames wait, so an idle or stopped trace costs no wake-ups.
    QTimer m_ticker;
    // Set while a wake-up is already posted, so frames at 58 a second post one event, not 58.
    std::atomic<bool> m_wakeAsked{false};
    TraceFrameSlot m_slot;
    TraceTap m_tap;
};

} // namespace velorin

#pragma once

#include "monitor/AmplitudeWindow.h"
#include "monitor/TraceFrameSlot.h"
#include "monitor/TraceTap.h"
#include "monitor/qt/TraceCanvas.h"

#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <optional>

class QLabel;

namespace velorin {

class SettingsStore;
class Timers;
class TraceView;

// The live trace on the monitor screen: a glowing line on black. The renderer draws its frames on
// the Bluetooth queue into a slot, in bursts of about 13; this widget shows them on the GUI thread
// at an even pace of at most about 30 pictures a second, a couple of frames further at each tick,
// so the line glides instead of jumping a burst at a time. Each picture repaints and sends to the
// screen only the band the line leaves and the band it takes. A click is a tap: pause or resume.
class TraceWidget : public QWidget {
    Q_OBJECT
public:
    // Attaches itself to the renderer for its lifetime; the vertical window is read from the
    // settings at every frame.
    TraceWidget(TraceView& view, SettingsStore& settings, Timers& timers, QWidget* parent = nullptr);
    ~TraceWidget() override;

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
    QSize devicePixels() const;
    // A region of device pixels as the widget's own, rounded out.
    QRegion toLogical(const QRegion& pixels) const;

    TraceView& m_view;
    AmplitudeWindow m_window;
    // The frame on show, painted when the screen needs it (not at the tick), and every pixel it
    // may paint at the size it was last looked at.
    std::optional<TraceFrameSlot::Published> m_shown;
    QRegion m_shownFootprint;
    QSize m_footprintSize;
    // Where the picture last painted may differ from the backdrop, at the size it was painted.
    QRegion m_onScreen;
    QSize m_onScreenSize;
    // Only where the window's image cannot be painted straight: the frame painted in an image of
    // our own at the widget's size in device pixels, with its number in the slot.
    TraceCanvas m_canvas;
    std::uint64_t m_canvasSequence = 0;
    // Runs only while frames wait, so an idle or stopped trace costs no wake-ups.
    QTimer m_ticker;
    // Set while a wake-up is already posted, so frames at 58 a second post one event, not 58.
    std::atomic<bool> m_wakeAsked{false};
    TraceFrameSlot m_slot;
    TraceTap m_tap;
};

} // namespace velorin

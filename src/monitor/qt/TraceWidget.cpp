#include "monitor/qt/TraceWidget.h"

#include "monitor/TracePacer.h"
#include "monitor/TraceView.h"
#include "platform/qt/HandOver.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace velorin {

namespace {

// About 30 pictures a second: steady to the eye at half the feed's rate, and half the painting.
constexpr int tickMilliseconds = 33;

} // namespace

TraceWidget::TraceWidget(TraceView& view, SettingsStore& settings, Timers& timers, QWidget* parent)
    : QWidget(parent), m_view(view), m_window(settings),
      m_canvas(TraceCanvas::tintedMarker(TraceCanvas::markerImage())), m_slot([this] {
          if (!m_wakeAsked.exchange(true))
              postTo(this, [this] { wake(); });
      }),
      m_tap(view, timers)
{
    m_ticker.setInterval(tickMilliseconds);
    connect(&m_ticker, &QTimer::timeout, this, &TraceWidget::showNextFrames);
    // Every frame paints every pixel: nothing needs clearing beneath it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMinimumSize(1, 1);
    m_view.setPainter(&m_slot, [this] { return m_window.frameWindow(); });
}

TraceWidget::~TraceWidget()
{
    // Waits for a frame in progress on the Bluetooth queue; none reaches the slot after this.
    m_view.setPainter(nullptr, {});
}

void TraceWidget::wake()
{
    // Cleared before the slot is next looked at: a frame published from now on posts again.
    m_wakeAsked.store(false);
    if (!m_ticker.isActive())
        m_ticker.start();
}

void TraceWidget::showNextFrames()
{
    if (std::optional<TraceFrameSlot::Published> next = m_slot.take(TracePacer::framesToAdvance(m_slot.waiting()))) {
        m_shown = std::move(next);
        const QSize pixels = devicePixels();
        m_shownFootprint = TraceCanvas::footprint(m_shown->frame, pixels);
        m_footprintSize = pixels;
        // The picture on screen gives way to the new frame: where the last one lay and where this
        // one goes change, nothing else. Before the first picture, or at a new size, the whole
        // widget is painted anyway.
        if (m_onScreenSize == pixels)
            update(toLogical(m_onScreen | m_shownFootprint));
        else
            update();
    }
    // A frame published after this look posts a wake-up, which starts the ticks again.
    if (m_slot.waiting() == 0)
        m_ticker.stop();
}

void TraceWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (!m_shown) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    const QSize pixels = devicePixels();
    if (m_footprintSize != pixels) {
        m_shownFootprint = TraceCanvas::footprint(m_shown->frame, pixels);
        m_footprintSize = pixels;
    }
    // A region asked for by our own ticks holds the frame's footprint and what the last frame left:
    // painted straight into the window's image, which keeps the picture between paints, so only
    // that region is painted and nothing is copied. Both hold this frame's footprint from now on.
    m_onScreen = m_shownFootprint;
    m_onScreenSize = pixels;
    if (pixels == size() && TraceCanvas::paintOver(painter, pixels, m_shown->frame, m_canvas.marker(),
                                                   event->region(), m_shownFootprint))
        return;
    // A part of the picture (something over the trace changed), or a window image that cannot be
    // painted straight: the frame is brought into a canvas of our own, only when it is new, then
    // copied.
    if (m_canvas.image().size() != pixels || m_canvasSequence != m_shown->sequence) {
        m_canvas.paint(m_shown->frame, pixels);
        m_canvasSequence = m_shown->sequence;
    }
    // One plain copy per rectangle: clipped to a rectangle the painter copies rows at once, while
    // clipped to the whole region it goes span by span and hands large copies to its thread pool.
    const qreal scale = static_cast<qreal>(pixels.width()) / width();
    for (const QRect& rect : event->region()) {
        painter.setClipRect(rect);
        painter.drawImage(QRectF(rect), m_canvas.image(),
                          QRectF(QPointF(rect.topLeft()) * scale, QSizeF(rect.size()) * scale));
    }
}

QSize TraceWidget::devicePixels() const
{
    return (QSizeF(size()) * devicePixelRatioF()).toSize();
}

QRegion TraceWidget::toLogical(const QRegion& pixels) const
{
    const qreal ratio = devicePixelRatioF();
    if (ratio == 1.0)
        return pixels;
    QRegion logical;
    for (const QRect& rect : pixels)
        logical += QRectF(QPointF(rect.topLeft()) / ratio, QSizeF(rect.size()) / ratio).toAlignedRect();
    return logical;
}

void TraceWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    for (QLabel* label : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (label->property("tag").toInt() == pausedLabelTag)
            label->resize(width(), pausedLabelHeight);
    // A new size is a layout: the renderer draws a frame for it (taking a value when one is there).
    m_view.layoutSubviews();
}

void TraceWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    switch (m_tap.touchesEnded()) {
    case TraceTap::Outcome::paused:
        showPaused();
        break;
    case TraceTap::Outcome::resumed:
        removePaused();
        break;
    case TraceTap::Outcome::ignored:
        break;
    }
}

void TraceWidget::showPaused()
{
    auto* label = new QLabel(QStringLiteral("Paused"), this);
    label->setProperty("tag", pausedLabelTag);
    label->setGeometry(0, 0, width(), pausedLabelHeight); // children are cut to the widget
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TransparentForMouseEvents); // clicks on it still reach the trace
    label->show();
}

void TraceWidget::removePaused()
{
    for (QLabel* label : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (label->property("tag").toInt() == pausedLabelTag)
            delete label;
}

} // namespace velorin

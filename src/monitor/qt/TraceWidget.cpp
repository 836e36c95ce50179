#include "monitor/qt/TraceWidget.h"

#include "monitor/TraceView.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <array>

namespace velorin {

namespace {

// The glow, the middle line and the white core: line width, head point diameter, colour.
struct Layer {
    qreal width;
    qreal headDiameter;
    QColor colour;
};

const std::array<Layer, 3> layers{{
    {9.0, 15.0, QColor::fromRgbF(0.0f, 0.5f, 1.0f, 0.2f)},
    {3.0, 9.0, QColor::fromRgbF(0.0f, 0.5f, 1.0f, 0.7f)},
    {1.0, 5.0, QColor::fromRgbF(1.0f, 1.0f, 1.0f, 1.0f)},
}};

const QColor gridColour = QColor::fromRgbF(0.0f, 0.4f, 0.6f, 1.0f);
const QColor markerColour = QColor::fromRgbF(0.0f, 0.5f, 1.0f, 1.0f);

// The faint background grid: 36 lines across time, one every fifth trace point, and 24 across
// the height, all within the part of the view the trace covers (60 segments in all).
constexpr int gridColumns = 36;
constexpr int gridColumnStep = 5;
constexpr int gridRows = 24;

// Half the marker's side in model units, around (1.0, newest value).
constexpr double markerHalfSide = 0.7;

QPointF place(double modelX, double modelY, QSize size, VerticalWindow window)
{
    return {horizontalFraction(modelX) * size.width(), (1.0 - verticalFraction(modelY, window)) * size.height()};
}

} // namespace

TraceWidget::TraceWidget(TraceView& view, SettingsStore& settings, Timers& timers, QWidget* parent)
    : QWidget(parent),
      m_view(view),
      m_window(settings),
      m_marker(tintedMarker(markerImage())),
      m_slot([this] {
          if (!m_repaintAsked.exchange(true))
              QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection);
      }),
      m_tap(view, timers)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(1, 1);
    m_view.setPainter(&m_slot, [this] { return m_window.frameWindow(); });
}

TraceWidget::~TraceWidget()
{
    // Waits for a frame in progress on the Bluetooth queue; none reaches the slot after this.
    m_view.setPainter(nullptr, {});
}

QImage TraceWidget::markerImage()
{
    return QImage(QStringLiteral(":/dot.png"));
}

QImage TraceWidget::tintedMarker(const QImage& glow)
{
    if (glow.isNull())
        return {};
    QImage tinted = glow.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&tinted);
    // The colour multiplied by the image: the glow's coverage kept, its colour replaced.
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(tinted.rect(), markerColour);
    return tinted;
}

void TraceWidget::paintFrame(QPainter& painter, QSize size, const TraceFrame& frame, const QImage& marker)
{
    const VerticalWindow window = frame.window;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::black);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);

    if (!marker.isNull()) {
        const QPointF topLeft = place(1.0 - markerHalfSide, frame.newest + markerHalfSide, size, window);
        const QPointF bottomRight = place(1.0 + markerHalfSide, frame.newest - markerHalfSide, size, window);
        painter.drawImage(QRectF(topLeft, bottomRight), marker);
    }

    std::array<QLineF, gridColumns + gridRows> grid;
    const double left = horizontalFraction(traceX(0)) * size.width();
    const double right = horizontalFraction(traceX(traceLength - 1)) * size.width();
    for (int c = 0; c < gridColumns; ++c) {
        const double x = horizontalFraction(traceX(static_cast<std::size_t>(c * gridColumnStep))) * size.width();
        grid[static_cast<std::size_t>(c)] = QLineF(x, 0.0, x, size.height());
    }
    for (int r = 0; r < gridRows; ++r) {
        const double y = (r + 0.5) * size.height() / gridRows;
        grid[static_cast<std::size_t>(gridColumns + r)] = QLineF(left, y, right, y);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(gridColour, 1.0));
    painter.drawLines(grid.data(), static_cast<int>(grid.size()));
    painter.setRenderHint(QPainter::Antialiasing, true);

    std::array<QPointF, traceLength> points;
    for (std::size_t i = 0; i < traceLength; ++i)
        points[i] = place(frame.points[i].x, frame.points[i].y, size, window);
    const QPointF head = points[traceLength - 1];

    for (const Layer& layer : layers) {
        QPen pen(layer.colour, layer.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(pen);
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
        // Round points on every vertex thicken the line where it turns, as a glow does.
        if (layer.width > 1.0)
            painter.drawPoints(points.data(), static_cast<int>(points.size()));
        pen.setWidthF(layer.headDiameter);
        painter.setPen(pen);
        painter.drawPoint(head);
    }
    painter.restore();
}

void TraceWidget::paintEvent(QPaintEvent*)
{
    m_repaintAsked.store(false);
    QPainter painter(this);
    const std::optional<TraceFrameSlot::Published> latest = m_slot.latest();
    if (!latest) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    paintFrame(painter, size(), latest->frame, m_marker);
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

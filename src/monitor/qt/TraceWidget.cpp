#include "monitor/qt/TraceWidget.h"

#include "monitor/TraceView.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <mutex>

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

// Blends a band of the given width along the polyline (x rising from point to point) into a
// premultiplied image, one pixel column at a time: each column covers the line's extent over the
// columns within half a width of it, grown by half a width up and down, with partly covered end
// pixels blended by their coverage.
void strokeBand(QImage& image, const std::array<QPointF, traceLength>& points, double width, const QColor& colour)
{
    const double half = width / 2.0;
    const double firstX = points.front().x();
    const double lastX = points.back().x();
    const int height = image.height();
    const int fromColumn = std::max(0, static_cast<int>(std::floor(firstX - half)));
    const int toColumn = std::min(image.width(), static_cast<int>(std::ceil(lastX + half)));
    const double r = colour.redF(), g = colour.greenF(), b = colour.blueF(), a = colour.alphaF();

    // The line's height at x, by its segment.
    std::size_t segment = 0;
    auto yAt = [&](double x, std::size_t& s) {
        while (s + 2 < traceLength && points[s + 1].x() < x)
            ++s;
        const QPointF& p = points[s];
        const QPointF& q = points[s + 1];
        const double t = std::clamp((x - p.x()) / (q.x() - p.x()), 0.0, 1.0);
        return p.y() + t * (q.y() - p.y());
    };

    for (int column = fromColumn; column < toColumn; ++column) {
        const double from = std::max(firstX, column + 0.5 - half);
        const double to = std::min(lastX, column + 0.5 + half);
        if (from > to)
            continue;
        std::size_t s = segment;
        double top = yAt(from, s);
        double bottom = top;
        segment = s;
        for (std::size_t v = s + 1; v < traceLength && points[v].x() < to; ++v) {
            top = std::min(top, points[v].y());
            bottom = std::max(bottom, points[v].y());
        }
        const double end = yAt(to, s);
        top = std::min(top, end) - half;
        bottom = std::max(bottom, end) + half;

        const int firstRow = std::max(0, static_cast<int>(std::floor(top)));
        const int lastRow = std::min(height - 1, static_cast<int>(std::ceil(bottom)) - 1);
        for (int row = firstRow; row <= lastRow; ++row) {
            const double coverage = std::min(bottom, row + 1.0) - std::max(top, static_cast<double>(row));
            const double alpha = a * coverage;
            auto* pixel = reinterpret_cast<QRgb*>(image.scanLine(row)) + column;
            const double keep = 1.0 - alpha;
            *pixel = qRgba(static_cast<int>(r * alpha * 255.0 + qRed(*pixel) * keep + 0.5),
                           static_cast<int>(g * alpha * 255.0 + qGreen(*pixel) * keep + 0.5),
                           static_cast<int>(b * alpha * 255.0 + qBlue(*pixel) * keep + 0.5),
                           static_cast<int>(alpha * 255.0 + qAlpha(*pixel) * keep + 0.5));
        }
    }
}

// A round point of the given diameter and colour, made once per layer.
const QImage& roundDot(double diameter, const QColor& colour)
{
    static std::mutex mutex;
    static std::map<std::pair<int, QRgb>, QImage> made;
    std::lock_guard lock(mutex);
    QImage& dot = made[{static_cast<int>(diameter * 16), colour.rgba()}];
    if (dot.isNull()) {
        const int side = static_cast<int>(std::ceil(diameter)) + 1;
        dot = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        dot.fill(Qt::transparent);
        QPainter p(&dot);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QRectF((side - diameter) / 2.0, (side - diameter) / 2.0, diameter, diameter));
    }
    return dot;
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

    QImage* canvas = dynamic_cast<QImage*>(painter.device());
    const bool direct = canvas && canvas->format() == QImage::Format_ARGB32_Premultiplied &&
                        painter.transform().isIdentity() && canvas->size() == size;
    for (const Layer& layer : layers) {
        QPen pen(layer.colour, layer.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        if (direct) {
            // Stroking wide translucent polylines through the painter costs several milliseconds a
            // frame; the trace is a function of x, so column spans draw the same band far faster.
            painter.beginNativePainting();
            strokeBand(*canvas, points, layer.width, layer.colour);
            painter.endNativePainting();
        } else {
            painter.setPen(pen);
            painter.drawPolyline(points.data(), static_cast<int>(points.size()));
        }
        // Round points on every vertex thicken the line where it turns, as a glow does.
        if (layer.width > 1.0) {
            const QImage& dot = roundDot(layer.width, layer.colour);
            const QPointF offset(dot.width() / 2.0, dot.height() / 2.0);
            for (const QPointF& point : points)
                painter.drawImage((point - offset).toPoint(), dot);
        }
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

#include "monitor/qt/TraceWidget.h"

#include "monitor/TracePacer.h"
#include "monitor/TraceView.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

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

// About 30 pictures a second: steady to the eye at half the feed's rate, and half the painting.
constexpr int tickMilliseconds = 33;

QPointF place(double modelX, double modelY, QSize size, VerticalWindow window)
{
    return {horizontalFraction(modelX) * size.width(), (1.0 - verticalFraction(modelY, window)) * size.height()};
}

// The image a painter draws on, when a frame may be blended straight into its pixels: 32-bit
// premultiplied or opaque, no clip, and the painter only shifting by whole pixels. Stroking wide
// translucent polylines and hundreds of small images through the painter costs milliseconds a
// frame; blending the same pixels by hand costs a fraction of that.
struct DirectTarget {
    uchar* bits;
    qsizetype stride;
    QPoint offset; // of the frame's top left corner in the image
    QRect area;    // the frame's pixels in the image

    quint32* pixel(int x, int y) const { return reinterpret_cast<quint32*>(bits + y * stride) + x; }
};

std::optional<DirectTarget> directTarget(QPainter& painter, QSize size)
{
    if (!painter.device() || painter.device()->devType() != QInternal::Image)
        return std::nullopt;
    auto* image = static_cast<QImage*>(painter.device());
    if (image->format() != QImage::Format_ARGB32_Premultiplied && image->format() != QImage::Format_RGB32)
        return std::nullopt;
    const QTransform& transform = painter.deviceTransform();
    const QPoint offset(qRound(transform.dx()), qRound(transform.dy()));
    if (transform.type() > QTransform::TxTranslate || offset.x() != transform.dx() || offset.y() != transform.dy() ||
        painter.hasClipping())
        return std::nullopt;
    return DirectTarget{image->bits(), image->bytesPerLine(), offset, QRect(offset, size) & image->rect()};
}

// A premultiplied pixel's channels times alpha / 255, two channels at a time.
inline quint32 multiplied(quint32 pixel, quint32 alpha)
{
    quint32 redBlue = (pixel & 0xff00ffu) * alpha;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
    quint32 alphaGreen = ((pixel >> 8) & 0xff00ffu) * alpha;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
    return redBlue | alphaGreen;
}

// A premultiplied source over a premultiplied (or opaque) destination.
inline quint32 over(quint32 source, quint32 destination)
{
    return source + multiplied(destination, 255u - qAlpha(source));
}

// The colour premultiplied by its alpha times a coverage.
inline quint32 premultiplied(QRgb colour, double coverage)
{
    return qPremultiply(qRgba(qRed(colour), qGreen(colour), qBlue(colour), qRound(qAlpha(colour) * coverage)));
}

// Blends a band of the given width along the polyline (x rising from point to point), one pixel
// column at a time. At each of a few points across a column the band covers the line's extent
// within half a width either side, grown by half a width up and down; a pixel's coverage is the
// share of its height that these spans cover, averaged over the points, so steep strokes are
// smoothed across neighbouring columns as an antialiased pen would.
void strokeBand(const DirectTarget& target, std::span<const QPointF> points, double width, const QColor& colour)
{
    constexpr int samples = 8;
    const double half = width / 2.0;
    const double firstX = points.front().x();
    const double lastX = points.back().x();
    const QRect area = target.area.translated(-target.offset); // in frame pixels
    const int fromColumn = std::max(area.left(), static_cast<int>(std::floor(firstX - half)));
    const int toColumn = std::min(area.right() + 1, static_cast<int>(std::ceil(lastX + half)));
    const QRgb rgba = colour.rgba();
    const quint32 solid = premultiplied(rgba, 1.0);

    // The line's height at x, by its segment.
    std::size_t segment = 0;
    auto yAt = [&](double x, std::size_t& s) {
        while (s + 2 < points.size() && points[s + 1].x() < x)
            ++s;
        const QPointF& p = points[s];
        const QPointF& q = points[s + 1];
        const double t = std::clamp((x - p.x()) / (q.x() - p.x()), 0.0, 1.0);
        return p.y() + t * (q.y() - p.y());
    };

    // The band's span at x, or nothing beyond the line's ends.
    auto spanAt = [&](double x, double& top, double& bottom) {
        const double from = std::max(firstX, x - half);
        const double to = std::min(lastX, x + half);
        if (from > to)
            return false;
        std::size_t s = segment;
        top = yAt(from, s);
        bottom = top;
        segment = s;
        for (std::size_t v = s + 1; v < points.size() && points[v].x() < to; ++v) {
            top = std::min(top, points[v].y());
            bottom = std::max(bottom, points[v].y());
        }
        const double end = yAt(to, s);
        top = std::min(top, end) - half;
        bottom = std::max(bottom, end) + half;
        return true;
    };

    for (int column = fromColumn; column < toColumn; ++column) {
        std::array<double, samples> tops{};
        std::array<double, samples> bottoms{};
        int spans = 0;
        double outerTop = std::numeric_limits<double>::max();
        double outerBottom = std::numeric_limits<double>::lowest();
        double innerTop = outerBottom;
        double innerBottom = outerTop;
        for (int k = 0; k < samples; ++k) {
            double top = 0.0;
            double bottom = 0.0;
            if (!spanAt(column + (k + 0.5) / samples, top, bottom))
                continue;
            tops[static_cast<std::size_t>(spans)] = top;
            bottoms[static_cast<std::size_t>(spans)] = bottom;
            ++spans;
            outerTop = std::min(outerTop, top);
            outerBottom = std::max(outerBottom, bottom);
            innerTop = std::max(innerTop, top);
            innerBottom = std::min(innerBottom, bottom);
        }
        if (spans == 0)
            continue;

        const int firstRow = std::max(area.top(), static_cast<int>(std::floor(outerTop)));
        const int lastRow = std::min(area.bottom(), static_cast<int>(std::ceil(outerBottom)) - 1);
        quint32* pixel = target.pixel(column + target.offset.x(), firstRow + target.offset.y());
        for (int row = firstRow; row <= lastRow; ++row, pixel += target.stride / 4) {
            if (spans == samples && row >= innerTop && row + 1.0 <= innerBottom) {
                *pixel = over(solid, *pixel);
                continue;
            }
            double coverage = 0.0;
            for (std::size_t k = 0; k < static_cast<std::size_t>(spans); ++k)
                coverage +=
                    std::clamp(std::min(bottoms[k], row + 1.0) - std::max(tops[k], static_cast<double>(row)), 0.0, 1.0);
            coverage /= samples;
            if (coverage > 0.0)
                *pixel = over(premultiplied(rgba, coverage), *pixel);
        }
    }
}

// Blends a premultiplied image with its top left corner at the given frame pixel.
void blendSprite(const DirectTarget& target, const QImage& sprite, QPoint at)
{
    const QRect onto = QRect(at + target.offset, sprite.size()) & target.area;
    const QPoint from = onto.topLeft() - at - target.offset;
    for (int row = 0; row < onto.height(); ++row) {
        const auto* source = reinterpret_cast<const quint32*>(sprite.constScanLine(from.y() + row)) + from.x();
        quint32* destination = target.pixel(onto.left(), onto.top() + row);
        for (int column = 0; column < onto.width(); ++column)
            if (source[column] != 0)
                destination[column] = over(source[column], destination[column]);
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

void drawGrid(QPainter& painter, QSize size)
{
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
}

// Black with the grid, opaque, for one size: a frame starts as a copy of it. The last size made is
// kept, as the one trace on screen changes size only when its window does.
QImage background(QSize size)
{
    static std::mutex mutex;
    static QImage made;
    std::lock_guard lock(mutex);
    if (made.size() != size) {
        made = QImage(size, QImage::Format_RGB32);
        made.fill(Qt::black);
        QPainter p(&made);
        drawGrid(p, size);
    }
    return made;
}

} // namespace

TraceWidget::TraceWidget(TraceView& view, SettingsStore& settings, Timers& timers, QWidget* parent)
    : QWidget(parent), m_view(view), m_window(settings), m_marker(tintedMarker(markerImage())), m_slot([this] {
          if (!m_wakeAsked.exchange(true))
              QMetaObject::invokeMethod(
                  this, [this] { wake(); }, Qt::QueuedConnection);
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
    const std::optional<DirectTarget> direct = directTarget(painter, size);
    painter.save();
    const QImage backdrop = background(size);
    if (direct) {
        // Row copies: the painter would hand a copy this large to its thread pool, waking threads
        // for a few hundred microseconds of work at every frame.
        const QRect area = direct->area.translated(-direct->offset);
        for (int row = area.top(); row <= area.bottom(); ++row)
            std::memcpy(direct->pixel(direct->area.left(), row + direct->offset.y()),
                        backdrop.constScanLine(row) + area.left() * 4, static_cast<std::size_t>(area.width()) * 4);
    } else {
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(0, 0, backdrop);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);

    if (!marker.isNull() && !std::isnan(frame.newest)) {
        const QPointF topLeft = place(1.0 - markerHalfSide, frame.newest + markerHalfSide, size, window);
        const QPointF bottomRight = place(1.0 + markerHalfSide, frame.newest - markerHalfSide, size, window);
        const QRectF markerRect(topLeft, bottomRight);
        painter.drawImage(markerRect, marker);
        // The grid lies over the marker: draw again the part of it the marker covered.
        painter.save();
        painter.setClipRect(markerRect.toAlignedRect(), Qt::IntersectClip);
        drawGrid(painter, size);
        painter.restore();
    }

    std::array<QPointF, traceLength> points;
    for (std::size_t i = 0; i < traceLength; ++i)
        points[i] = place(frame.points[i].x, frame.points[i].y, size, window);
    const QPointF head = points[traceLength - 1];
    // Blank entries (a gap after a silence) break the line: each run of values is drawn by itself.
    std::vector<std::span<const QPointF>> runs;
    for (std::size_t i = 0; i < traceLength;) {
        if (std::isnan(frame.points[i].y)) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < traceLength && !std::isnan(frame.points[end].y))
            ++end;
        // A lone value between two gaps is no line; the newest one still gets the head.
        if (end - i > 1)
            runs.emplace_back(points.data() + i, end - i);
        i = end;
    }

    for (const Layer& layer : layers) {
        QPen pen(layer.colour, layer.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        for (const std::span<const QPointF> run : runs) {
            if (direct) {
                strokeBand(*direct, run, layer.width, layer.colour);
            } else {
                painter.setPen(pen);
                painter.drawPolyline(run.data(), static_cast<int>(run.size()));
            }
        }
        // Round points on every vertex thicken the line where it turns, as a glow does.
        if (layer.width > 1.0) {
            const QImage& dot = roundDot(layer.width, layer.colour);
            const QPointF offset(dot.width() / 2.0, dot.height() / 2.0);
            for (const std::span<const QPointF> run : runs)
                for (const QPointF& point : run) {
                    if (direct)
                        blendSprite(*direct, dot, (point - offset).toPoint());
                    else
                        painter.drawImage((point - offset).toPoint(), dot);
                }
        }
        if (std::isnan(frame.newest))
            continue;
        pen.setWidthF(layer.headDiameter);
        painter.setPen(pen);
        painter.drawPoint(head);
    }
    painter.restore();
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
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // The frame is made in an image of our own, where it can be blended pixel by pixel, and only
    // when it is new: a repaint for anything else (a label over the trace, an expose) copies it.
    const QSize pixels = (QSizeF(size()) * devicePixelRatioF()).toSize();
    if (m_canvas.size() != pixels || m_canvasSequence != m_shown->sequence) {
        if (m_canvas.size() != pixels)
            m_canvas = QImage(pixels, QImage::Format_RGB32);
        QPainter canvas(&m_canvas);
        paintFrame(canvas, pixels, m_shown->frame, m_marker);
        m_canvasSequence = m_shown->sequence;
    }
    const QRectF exposed = event->rect();
    const qreal scale = static_cast<qreal>(pixels.width()) / width();
    painter.drawImage(exposed, m_canvas, QRectF(exposed.topLeft() * scale, exposed.size() * scale));
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

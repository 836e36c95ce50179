#include "monitor/qt/TraceCanvas.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// How far from a point the line's pixels reach, with a pixel to spare: half the glow's width and
// a pixel of smoothing, or the glow's round points (10 pixels a side); and the head's (15 across,
// with its smoothed rim).
constexpr double pointReach = 7.0;
constexpr double headReach = 10.0;
// The footprint is made of cells of this size: a whole trace is a few dozen rectangles, cheap to
// restore and to send to the screen, for a few more pixels than the line strictly needs.
constexpr QSize footprintCell(16, 8);

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
    // The device the painter's pixels go to: for a widget, the window's image it is redirected to.
    QPaintDevice* device = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return std::nullopt;
    auto* image = static_cast<QImage*>(device);
    if (image->format() != QImage::Format_ARGB32_Premultiplied && image->format() != QImage::Format_RGB32)
        return std::nullopt;
    const QTransform transform = painter.deviceTransform();
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

// The whole number at or below v, for v well within the range of int (std::floor is a library call
// on our baseline processors, and this runs for every span of every column).
inline int floorToInt(double v)
{
    const int i = static_cast<int>(v);
    return i - (v < i ? 1 : 0);
}

// A premultiplied source over a premultiplied (or opaque) destination. With SSE2 the four channels
// are multiplied at once, rounded as multiplied() does.
inline quint32 over(quint32 source, quint32 destination)
{
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i channels = _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(destination)), zero),
                                       _mm_set1_epi16(static_cast<short>(255u - qAlpha(source))));
    channels = _mm_add_epi16(channels, _mm_srli_epi16(channels, 8));
    channels = _mm_srli_epi16(_mm_add_epi16(channels, _mm_set1_epi16(0x80)), 8);
    return source + static_cast<quint32>(_mm_cvtsi128_si32(_mm_packus_epi16(channels, zero)));
#else
    return source + multiplied(destination, 255u - qAlpha(source));
#endif
}

// Blends a band of the given width along the polyline (x rising from point to point), one pixel
// column at a time. At each of a few points across a column the band covers the line's extent
// within half a width either side, grown by half a width up and down; a pixel's coverage is the
// share of its height that these spans cover, averaged over the points, so steep strokes are
// smoothed across neighbouring columns as an antialiased pen would.
void strokeBand(const DirectTarget& target, std::span<const QPointF> points, double width, const QColor& colour)
{
    // Four points a column: the strokes look the same at eight, and the line costs a quarter less.
    constexpr int samples = 4;
    const double half = width / 2.0;
    const double firstX = points.front().x();
    const double lastX = points.back().x();
    const QRect area = target.area.translated(-target.offset); // in frame pixels
    const int fromColumn = std::max(area.left(), static_cast<int>(std::floor(firstX - half)));
    const int toColumn = std::min(area.right() + 1, static_cast<int>(std::ceil(lastX + half)));
    const QRgb rgba = colour.rgba();
    // The colour premultiplied at every alpha its coverage may give it.
    std::array<quint32, 256> shades;
    for (int a = 0; a < 256; ++a)
        shades[static_cast<std::size_t>(a)] = qPremultiply(qRgba(qRed(rgba), qGreen(rgba), qBlue(rgba), a));
    const quint32 solid = shades[static_cast<std::size_t>(qAlpha(rgba))];
    // Per row of a column: the spans' share of it where they end within it, and where they start
    // covering whole rows (+1) or stop (-1), so a row's coverage is a running sum, not a loop over
    // the spans. All zero between columns.
    std::vector<double> partial(static_cast<std::size_t>(std::max(0, area.height())) + 2);
    std::vector<int> whole(partial.size());

    // The points and the slope of the segment from each to the next, in plain arrays: the samples
    // below read them tens of thousands of times a frame.
    const std::size_t lastSegment = points.size() - 2;
    std::array<double, traceLength> xs;
    std::array<double, traceLength> ys;
    std::array<double, traceLength> slopes;
    for (std::size_t i = 0; i < points.size(); ++i) {
        xs[i] = points[i].x();
        ys[i] = points[i].y();
    }
    for (std::size_t i = 0; i <= lastSegment; ++i)
        slopes[i] = (ys[i + 1] - ys[i]) / (xs[i + 1] - xs[i]);
    // The segments holding the left and the right end of a sample's reach; the samples move only
    // rightwards, and so do both.
    std::size_t fromSegment = 0;
    std::size_t toSegment = 0;
    auto advance = [&](std::size_t& segment, double x) {
        while (segment < lastSegment && xs[segment + 1] < x)
            ++segment;
    };

    for (int column = fromColumn; column < toColumn; ++column) {
        // The band's span at each sample across the column: the line's extent within half a width
        // either side (none beyond its ends), grown by half a width up and down.
        std::array<double, samples> tops{};
        std::array<double, samples> bottoms{};
        int spans = 0;
        // Most columns lie where every sample's reach starts on one segment and ends on one segment,
        // with the same points between: the same arithmetic then, without looking for them anew.
        const double firstSample = column + 0.5 / samples;
        const double lastSample = column + (samples - 0.5) / samples;
        bool steady = false;
        if (firstSample - half >= firstX && lastSample + half <= lastX) {
            std::size_t from = fromSegment;
            advance(from, firstSample - half);
            std::size_t fromLast = from;
            advance(fromLast, lastSample - half);
            std::size_t to = std::max(toSegment, from);
            advance(to, firstSample + half);
            std::size_t toLast = to;
            advance(toLast, lastSample + half);
            steady = from == fromLast && to == toLast;
            if (steady) {
                fromSegment = from;
                toSegment = to;
            }
        }
        if (steady) {
            double lowest = std::numeric_limits<double>::max();
            double highest = std::numeric_limits<double>::lowest();
            for (std::size_t v = fromSegment + 1; v <= toSegment; ++v) {
                lowest = std::min(lowest, ys[v]);
                highest = std::max(highest, ys[v]);
            }
            for (int k = 0; k < samples; ++k) {
                const double x = column + (k + 0.5) / samples;
                const double start = ys[fromSegment] + (x - half - xs[fromSegment]) * slopes[fromSegment];
                const double end = ys[toSegment] + (x + half - xs[toSegment]) * slopes[toSegment];
                tops[static_cast<std::size_t>(k)] = std::min(std::min(start, end), lowest) - half;
                bottoms[static_cast<std::size_t>(k)] = std::max(std::max(start, end), highest) + half;
            }
            spans = samples;
        }
        for (int k = 0; k < samples && !steady; ++k) {
            const double x = column + (k + 0.5) / samples;
            const double from = std::max(firstX, x - half);
            const double to = std::min(lastX, x + half);
            if (from > to)
                continue;
            advance(fromSegment, from);
            toSegment = std::max(toSegment, fromSegment);
            advance(toSegment, to);
            const double start = ys[fromSegment] + (from - xs[fromSegment]) * slopes[fromSegment];
            const double end = ys[toSegment] + (to - xs[toSegment]) * slopes[toSegment];
            double top = std::min(start, end);
            double bottom = std::max(start, end);
            for (std::size_t v = fromSegment + 1; v <= toSegment && xs[v] < to; ++v) {
                top = std::min(top, ys[v]);
                bottom = std::max(bottom, ys[v]);
            }
            tops[static_cast<std::size_t>(spans)] = top - half;
            bottoms[static_cast<std::size_t>(spans)] = bottom + half;
            ++spans;
        }
        if (spans == 0)
            continue;
        double outerTop = tops[0];
        double outerBottom = bottoms[0];
        double innerTop = tops[0];
        double innerBottom = bottoms[0];
        for (std::size_t k = 1; k < static_cast<std::size_t>(spans); ++k) {
            outerTop = std::min(outerTop, tops[k]);
            outerBottom = std::max(outerBottom, bottoms[k]);
            innerTop = std::max(innerTop, tops[k]);
            innerBottom = std::min(innerBottom, bottoms[k]);
        }

        // Kept near the view first, so that lines far off it convert to whole rows safely.
        outerTop = std::max(outerTop, area.top() - 1.0);
        outerBottom = std::min(outerBottom, area.bottom() + 2.0);
        const int firstRow = std::max(area.top(), floorToInt(outerTop));
        const int lastRow = std::min(area.bottom(), -floorToInt(-outerBottom) - 1);
        if (lastRow < firstRow)
            continue;
        // Rows that every span covers whole are the colour itself.
        int solidFrom = lastRow + 1;
        int solidTo = lastRow;
        if (spans == samples && innerTop < innerBottom) {
            solidFrom = -floorToInt(-std::max(innerTop, outerTop));
            solidTo = floorToInt(std::min(innerBottom, outerBottom)) - 1;
        }
        const auto rows = static_cast<std::size_t>(lastRow - firstRow + 1);
        for (std::size_t k = 0; k < static_cast<std::size_t>(spans); ++k) {
            const double top = std::max(tops[k], static_cast<double>(firstRow));
            const double bottom = std::min(bottoms[k], lastRow + 1.0);
            if (bottom <= top)
                continue;
            // Both lie within the rows, which are never above the frame's top: truncation floors.
            const int topRow = static_cast<int>(top);
            const int bottomRow = static_cast<int>(bottom);
            const auto first = static_cast<std::size_t>(topRow - firstRow);
            const auto last = static_cast<std::size_t>(bottomRow - firstRow);
            if (first == last) {
                partial[first] += bottom - top;
                continue;
            }
            partial[first] += topRow + 1.0 - top;
            ++whole[first + 1];
            --whole[last];
            partial[last] += bottom - bottomRow;
        }

        // Rows that some spans leave uncovered, then the solid ones, then the rest.
        quint32* pixel = target.pixel(column + target.offset.x(), firstRow + target.offset.y());
        const qsizetype step = target.stride / 4;
        const int solidStart = std::clamp(solidFrom, firstRow, lastRow + 1);
        const int solidEnd = std::clamp(solidTo + 1, solidStart, lastRow + 1);
        int covering = 0;
        auto blendPartial = [&](int row) {
            const auto r = static_cast<std::size_t>(row - firstRow);
            covering += std::exchange(whole[r], 0);
            const double coverage = (covering + std::exchange(partial[r], 0.0)) / samples;
            const int alpha = qRound(qAlpha(rgba) * std::min(coverage, 1.0));
            if (alpha > 0)
                *pixel = over(shades[static_cast<std::size_t>(alpha)], *pixel);
        };
        int row = firstRow;
        for (; row < solidStart; ++row, pixel += step)
            blendPartial(row);
        // Under a solid run lies mostly the black backdrop or a layer already solid there: one
        // pixel's blend serves the same pixels below it.
        if (row < solidEnd) {
            quint32 under = *pixel;
            quint32 blended = over(solid, under);
            for (; row < solidEnd; ++row, pixel += step) {
                const auto r = static_cast<std::size_t>(row - firstRow);
                covering += std::exchange(whole[r], 0);
                partial[r] = 0.0;
                if (*pixel != under) {
                    under = *pixel;
                    blended = over(solid, under);
                }
                *pixel = blended;
            }
        }
        for (; row <= lastRow; ++row, pixel += step)
            blendPartial(row);
        // Each row's entries were cleared as it was read; a span may end on the row past the last.
        whole[rows] = 0;
        partial[rows] = 0.0;
    }
}

// A row of premultiplied pixels over another, as over() blends each (a transparent pixel leaves
// its destination as it is); with SSE2 four at a time.
void overRow(const quint32* source, quint32* destination, int count)
{
    int done = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi32(255);
    const __m128i half = _mm_set1_epi16(0x80);
    for (; done + 4 <= count; done += 4) {
        const __m128i above = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + done));
        const __m128i below = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + done));
        // 255 minus each pixel's alpha, in both halves of its 32 bits, then once per channel.
        __m128i left = _mm_sub_epi32(opaque, _mm_srli_epi32(above, 24));
        left = _mm_or_si128(left, _mm_slli_epi32(left, 16));
        __m128i low = _mm_mullo_epi16(_mm_unpacklo_epi8(below, zero), _mm_unpacklo_epi32(left, left));
        __m128i high = _mm_mullo_epi16(_mm_unpackhi_epi8(below, zero), _mm_unpackhi_epi32(left, left));
        low = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(low, _mm_srli_epi16(low, 8)), half), 8);
        high = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(high, _mm_srli_epi16(high, 8)), half), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + done),
                         _mm_add_epi32(above, _mm_packus_epi16(low, high)));
    }
#endif
    for (; done < count; ++done)
        destination[done] = over(source[done], destination[done]);
}

// Blends a premultiplied image with its top left corner at the given frame pixel.
void blendSprite(const DirectTarget& target, const QImage& sprite, QPoint at)
{
    const QRect onto = QRect(at + target.offset, sprite.size()) & target.area;
    const QPoint from = onto.topLeft() - at - target.offset;
    for (int row = 0; row < onto.height(); ++row)
        overRow(reinterpret_cast<const quint32*>(sprite.constScanLine(from.y() + row)) + from.x(),
                target.pixel(onto.left(), onto.top() + row), onto.width());
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

// Black with the grid, opaque, for one size: a frame starts as a copy of it. Its rows are of a
// few kinds only (across a horizontal grid line or not), so each row also names the first row like
// it: copies read those few rows, which stay in the cache, instead of the whole image.
struct Backdrop {
    QImage image;
    std::vector<int> firstLike;

    const uchar* row(int y) const { return image.constScanLine(firstLike[static_cast<std::size_t>(y)]); }
};

// The last size made is kept, as the one trace on screen changes size only when its window does.
std::shared_ptr<const Backdrop> background(QSize size)
{
    static std::mutex mutex;
    static std::shared_ptr<const Backdrop> made;
    std::lock_guard lock(mutex);
    if (!made || made->image.size() != size) {
        auto backdrop = std::make_shared<Backdrop>();
        backdrop->image = QImage(size, QImage::Format_RGB32);
        backdrop->image.fill(Qt::black);
        QPainter p(&backdrop->image);
        drawGrid(p, size);
        p.end();
        std::vector<int> kinds;
        const auto bytes = static_cast<std::size_t>(size.width()) * 4;
        for (int y = 0; y < size.height(); ++y) {
            const uchar* row = backdrop->image.constScanLine(y);
            const auto like = std::find_if(kinds.begin(), kinds.end(), [&](int kind) {
                return std::memcmp(backdrop->image.constScanLine(kind), row, bytes) == 0;
            });
            const int first = like == kinds.end() ? y : *like;
            if (first == y)
                kinds.push_back(y);
            backdrop->firstLike.push_back(first);
        }
        made = std::move(backdrop);
    }
    return made;
}

// Copies the backdrop's pixels within the rectangle (in frame pixels) into the target, row by row:
// the painter would hand a copy this large to its thread pool, waking threads for a few hundred
// microseconds of work.
void copyBackdrop(const DirectTarget& target, const Backdrop& backdrop, const QRect& rect)
{
    const QRect area = rect & target.area.translated(-target.offset) & backdrop.image.rect();
    for (int row = area.top(); row <= area.bottom(); ++row)
        std::memcpy(target.pixel(area.left() + target.offset.x(), row + target.offset.y()),
                    backdrop.row(row) + area.left() * 4, static_cast<std::size_t>(area.width()) * 4);
}

// Copies the backdrop's grid pixels (all that is not black) within the rectangle into the target.
void copyGrid(const DirectTarget& target, const Backdrop& backdrop, const QRect& rect)
{
    const QRect area = rect & target.area.translated(-target.offset) & backdrop.image.rect();
    const quint32 black = qRgb(0, 0, 0);
    for (int row = area.top(); row <= area.bottom(); ++row) {
        const auto* source = reinterpret_cast<const quint32*>(backdrop.row(row));
        quint32* destination = target.pixel(target.offset.x(), row + target.offset.y());
        for (int column = area.left(); column <= area.right(); ++column)
            if (source[column] != black)
                destination[column] = source[column];
    }
}

QRectF markerRect(const TraceFrame& frame, QSize size)
{
    const QPointF topLeft = place(1.0 - markerHalfSide, frame.newest + markerHalfSide, size, frame.window);
    const QPointF bottomRight = place(1.0 + markerHalfSide, frame.newest - markerHalfSide, size, frame.window);
    return {topLeft, bottomRight};
}

// The frame over a backdrop already in place: the marker, then the line's three layers.
void drawTrace(QPainter& painter, const std::optional<DirectTarget>& direct, QSize size, const TraceFrame& frame,
               const QImage& marker)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);

    if (!marker.isNull() && !std::isnan(frame.newest)) {
        const QRectF rect = markerRect(frame, size);
        painter.drawImage(rect, marker);
        // The grid lies over the marker: draw again the part of it the marker covered. Its lines are
        // opaque and drawn without smoothing, so straight into the pixels that is the backdrop's
        // grid pixels copied back.
        if (direct) {
            copyGrid(*direct, *background(size), rect.toAlignedRect());
        } else {
            painter.save();
            painter.setClipRect(rect.toAlignedRect(), Qt::IntersectClip);
            drawGrid(painter, size);
            painter.restore();
        }
    }

    std::array<QPointF, traceLength> points;
    for (std::size_t i = 0; i < traceLength; ++i)
        points[i] = place(frame.points[i].x, frame.points[i].y, size, frame.window);
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
}

} // namespace

TraceCanvas::TraceCanvas(QImage marker) : m_marker(std::move(marker)) {}

QImage TraceCanvas::markerImage()
{
    return QImage(QStringLiteral(":/dot.png"));
}

QImage TraceCanvas::tintedMarker(const QImage& glow)
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

void TraceCanvas::paintFrame(QPainter& painter, QSize size, const TraceFrame& frame, const QImage& marker)
{
    const std::optional<DirectTarget> direct = directTarget(painter, size);
    painter.save();
    const std::shared_ptr<const Backdrop> backdrop = background(size);
    if (direct) {
        copyBackdrop(*direct, *backdrop, QRect(QPoint(0, 0), size));
    } else {
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(0, 0, backdrop->image);
    }
    drawTrace(painter, direct, size, frame, marker);
    painter.restore();
}

bool TraceCanvas::paintOver(QPainter& painter, QSize size, const TraceFrame& frame, const QImage& marker,
                            const QRegion& region, const QRegion& frameFootprint)
{
    // The frame paints only within its footprint, so within a region that holds it; a smaller one
    // (something over the trace changed) would need the line cut to it, which the painter's part
    // (the marker, the head) does not do to the same pixels.
    if (!(frameFootprint - region).isEmpty())
        return false;
    const std::optional<DirectTarget> direct = directTarget(painter, size);
    if (!direct)
        return false;
    const std::shared_ptr<const Backdrop> backdrop = background(size);
    for (const QRect& rect : region)
        copyBackdrop(*direct, *backdrop, rect);
    painter.save();
    // The marker reaches past the right edge, where the device may go on.
    painter.setClipRect(QRect(QPoint(0, 0), size), Qt::IntersectClip);
    drawTrace(painter, direct, size, frame, marker);
    painter.restore();
    return true;
}

QRegion TraceCanvas::footprint(const TraceFrame& frame, QSize size)
{
    if (size.isEmpty())
        return {};
    const int width = size.width();
    const int height = size.height();
    const int columns = (width + footprintCell.width() - 1) / footprintCell.width();
    const int rows = (height + footprintCell.height() - 1) / footprintCell.height();
    std::vector<char> cells(static_cast<std::size_t>(columns * rows), 0);
    auto mark = [&](int column, int fromRow, int toRow) {
        for (int row = std::max(0, fromRow); row <= std::min(rows - 1, toRow); ++row)
            cells[static_cast<std::size_t>(row * columns + column)] = 1;
    };

    // A column of cells is reached by the points within pointReach of it and by the segments
    // leaving them, whose other ends lie a step further: it is marked from the highest of these
    // points to the lowest. The head reaches further, but only around itself.
    const double step = (horizontalFraction(traceX(1)) - horizontalFraction(traceX(0))) * width;
    std::vector<std::pair<double, double>> spans(static_cast<std::size_t>(columns),
                                                 {std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest()});
    auto reachOut = [&](const TracePoint& point, double across, double upAndDown) {
        const QPointF at = place(point.x, point.y, size, frame.window);
        // Kept to just beyond the view, where the marked cells end anyway.
        const double y = std::clamp(at.y(), -2.0 * headReach, height + 2.0 * headReach);
        const int from = std::max(0, floorToInt((at.x() - across) / footprintCell.width()));
        const int to = std::min(columns - 1, floorToInt((at.x() + across) / footprintCell.width()));
        for (int c = from; c <= to; ++c) {
            auto& [top, bottom] = spans[static_cast<std::size_t>(c)];
            top = std::min(top, y - upAndDown);
            bottom = std::max(bottom, y + upAndDown);
        }
    };
    for (const TracePoint& point : frame.points)
        if (!std::isnan(point.y))
            reachOut(point, pointReach + step, pointReach);
    if (!std::isnan(frame.newest))
        reachOut(frame.points[traceLength - 1], headReach, headReach);
    for (int c = 0; c < columns; ++c) {
        const auto [top, bottom] = spans[static_cast<std::size_t>(c)];
        if (top <= bottom)
            mark(c, floorToInt(top / footprintCell.height()), floorToInt(bottom / footprintCell.height()));
    }
    if (!std::isnan(frame.newest)) {
        const QRect marker = markerRect(frame, size).toAlignedRect().adjusted(-2, -2, 2, 2) & QRect(QPoint(0, 0), size);
        if (!marker.isEmpty())
            for (int c = marker.left() / footprintCell.width(); c <= marker.right() / footprintCell.width(); ++c)
                mark(c, marker.top() / footprintCell.height(), marker.bottom() / footprintCell.height());
    }

    // The marked cells as rectangles in bands, as a region keeps them: rows of cells alike make one
    // band, and each run of marked cells in it one rectangle.
    std::vector<QRect> rects;
    const QRect view(QPoint(0, 0), size);
    for (int row = 0; row < rows;) {
        const auto line = cells.begin() + row * columns;
        int end = row + 1;
        while (end < rows && std::equal(line, line + columns, cells.begin() + end * columns))
            ++end;
        for (int c = 0; c < columns;) {
            if (!line[c]) {
                ++c;
                continue;
            }
            int runEnd = c + 1;
            while (runEnd < columns && line[runEnd])
                ++runEnd;
            rects.push_back(QRect(c * footprintCell.width(), row * footprintCell.height(),
                                  (runEnd - c) * footprintCell.width(), (end - row) * footprintCell.height()) &
                            view);
            c = runEnd;
        }
        row = end;
    }
    QRegion region;
    region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}

void TraceCanvas::paint(const TraceFrame& frame, QSize size)
{
    if (size.isEmpty())
        return;
    const std::shared_ptr<const Backdrop> backdrop = background(size);
    QRegion restore = m_painted;
    if (m_image.size() != size) {
        m_image = QImage(size, QImage::Format_RGB32);
        restore = QRect(QPoint(0, 0), size);
    }
    QPainter painter(&m_image);
    const std::optional<DirectTarget> direct = directTarget(painter, size);
    // Outside what the last frame painted the picture is the backdrop already, and the new frame
    // paints only within its own footprint.
    for (const QRect& rect : restore)
        copyBackdrop(*direct, *backdrop, rect);
    drawTrace(painter, direct, size, frame, m_marker);
    m_painted = footprint(frame, size);
}

} // namespace velorin

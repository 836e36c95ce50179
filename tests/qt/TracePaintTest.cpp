#include "monitor/qt/TraceCanvas.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace velorin {
namespace {

// A flat trace at 600 in the default window, blank from gapFrom up to gapTo as after a silence.
QImage paintedFlat(std::size_t gapFrom, std::size_t gapTo)
{
    TraceFrame frame{};
    for (std::size_t i = 0; i < traceLength; ++i)
        frame.points[i] = {traceX(i), i >= gapFrom && i < gapTo ? std::numeric_limits<float>::quiet_NaN() : 600.0f};
    frame.newest = frame.points[traceLength - 1].y;
    frame.window = defaultWindow;
    QImage image(1024, 600, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red); // anything not painted over would show
    QPainter painter(&image);
    TraceCanvas::paintFrame(painter, image.size(), frame, TraceCanvas::tintedMarker(TraceCanvas::markerImage()));
    return image;
}

// Inside the gap nothing but the backdrop, where the unbroken line runs.
TEST(TracePaint, BlankEntriesBreakTheLine)
{
    const QImage line = paintedFlat(0, 0), gap = paintedFlat(100, 106), blank = paintedFlat(0, traceLength);
    const int row = static_cast<int>((1.0 - verticalFraction(600, defaultWindow)) * line.height());
    const auto x = [&](std::size_t i) { return static_cast<int>(horizontalFraction(traceX(i)) * line.width()); };
    for (int px = x(100) + 4; px < x(105) - 4; ++px) {
        ASSERT_NE(line.pixelColor(px, row), blank.pixelColor(px, row)) << px;
        ASSERT_EQ(gap.pixelColor(px, row), blank.pixelColor(px, row)) << px;
    }
}

TEST(TracePaint, KeptPicturesMatchAWholePaintAndChangeOnlyWhereAsked)
{
    // The live widget keeps its picture, in a canvas of its own or in the window's image, and
    // repaints (and sends to the screen) only where the last frame lay and where the new one goes:
    // anything painted outside that, or left behind, shows.
    const float blank = std::numeric_limits<float>::quiet_NaN();
    const QSize size(480, 300);
    const QImage marker = TraceCanvas::tintedMarker(TraceCanvas::markerImage());
    auto frameAt = [&](int step) {
        TraceFrame frame{};
        for (std::size_t i = 0; i < traceLength; ++i) {
            const double t = (step * 2.0 + static_cast<double>(i)) / 58.0;
            const double phase = std::fmod(t, 0.85);
            // A slow wave with a tall spike every beat, so steep strokes cross the cells.
            frame.points[i] = {traceX(i), static_cast<float>(560.0 + 40.0 * std::sin(t * 7.0) +
                                                             (phase > 0.3 && phase < 0.36 ? 330.0 : 0.0))};
        }
        // The head climbs through the cells a little at a time.
        frame.points[traceLength - 1].y = static_cast<float>(600.0 + 2.3 * step);
        if (step % 10 >= 3 && step % 10 < 6)
            for (std::size_t i = 120; i < 128; ++i)
                frame.points[i].y = blank; // a gap moving through
        if (step % 10 == 4)
            frame.points[traceLength - 1].y = blank; // no newest value: no head, no marker
        if (step % 10 == 6)
            frame.points[traceLength - 2].y = blank; // a lone newest value
        if (step % 10 == 7)
            frame.points[40].y = 90000.0f; // far off the view
        frame.newest = frame.points[traceLength - 1].y;
        frame.window = step >= 15 ? VerticalWindow{400.0f, 600.0f} : defaultWindow;
        return frame;
    };
    // Within the frame (at `at` in `now`) every pixel is the whole paint's; outside what was asked
    // for, every pixel is as it was.
    auto check = [&](const QImage& before, const QImage& now, QPoint at, const QImage& whole, const QRegion& asked) {
        std::vector<char> inAsked(static_cast<std::size_t>(now.width() * now.height()), 0);
        for (const QRect& rect : asked.translated(at) & now.rect())
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                std::fill_n(inAsked.begin() + y * now.width() + rect.left(), rect.width(), 1);
        for (int y = 0; y < now.height(); ++y) {
            const auto* was = reinterpret_cast<const QRgb*>(before.constScanLine(y));
            const auto* is = reinterpret_cast<const QRgb*>(now.constScanLine(y));
            const bool rowInFrame = y >= at.y() && y < at.y() + whole.height();
            const auto* fresh = rowInFrame ? reinterpret_cast<const QRgb*>(whole.constScanLine(y - at.y())) - at.x() : nullptr;
            for (int x = 0; x < now.width(); ++x) {
                if (fresh && x >= at.x() && x < at.x() + whole.width() && is[x] != fresh[x])
                    return ::testing::AssertionFailure() << "not the whole paint at " << x << "," << y;
                if (!inAsked[static_cast<std::size_t>(y * now.width() + x)] && is[x] != was[x])
                    return ::testing::AssertionFailure() << "changed where not asked at " << x << "," << y;
            }
        }
        return ::testing::AssertionSuccess();
    };

    TraceCanvas canvas(marker);
    canvas.paint(frameAt(0), size);
    const QPoint at(37, 21);
    QImage window(size + QSize(80, 50), QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::red);
    QRegion onScreen = QRect(QPoint(0, 0), size);
    for (int step = 0; step < 20; ++step) {
        SCOPED_TRACE(step);
        const TraceFrame frame = frameAt(step);
        QImage whole(size, QImage::Format_RGB32);
        QPainter wholePainter(&whole);
        TraceCanvas::paintFrame(wholePainter, size, frame, marker);
        wholePainter.end();
        const QRegion footprint = TraceCanvas::footprint(frame, size);

        const QImage canvasBefore = canvas.image().copy();
        const QRegion sent = canvas.painted() | footprint;
        canvas.paint(frame, size);
        ASSERT_TRUE(check(canvasBefore, canvas.image(), QPoint(0, 0), whole, sent));

        const QImage windowBefore = window.copy();
        const QRegion asked = onScreen | footprint;
        QPainter painter(&window);
        painter.translate(at);
        ASSERT_TRUE(TraceCanvas::paintOver(painter, size, frame, marker, asked, footprint));
        painter.end();
        onScreen = footprint;
        ASSERT_TRUE(check(windowBefore, window, at, whole, asked));
    }
}

} // namespace
} // namespace velorin

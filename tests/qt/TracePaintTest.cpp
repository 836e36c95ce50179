#include "monitor/qt/TraceWidget.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <limits>

namespace velorin {
namespace {

// A flat trace at 600 whose newest value is 700, in the default window (200..750) at 1024 x 600,
// painted straight into the image's pixels or through the painter alone.
struct PaintedFrame {
    QImage image{1024, 600, QImage::Format_ARGB32_Premultiplied};
    TraceFrame frame{};

    // Entries from gapFrom up to gapTo are blank, as after a silence.
    explicit PaintedFrame(bool throughPainter = false, std::size_t gapFrom = 0, std::size_t gapTo = 0)
    {
        for (std::size_t i = 0; i < traceLength; ++i)
            frame.points[i] = {traceX(i), i >= gapFrom && i < gapTo ? std::numeric_limits<float>::quiet_NaN()
                                          : i + 1 == traceLength ? 700.0f
                                                                 : 600.0f};
        frame.newest = 700.0f;
        frame.window = defaultWindow;
        image.fill(Qt::red); // anything not painted over would show
        QPainter painter(&image);
        if (throughPainter)
            painter.setClipRect(image.rect()); // a clipped painter keeps to its own drawing
        TraceWidget::paintFrame(painter, image.size(), frame, TraceWidget::tintedMarker(TraceWidget::markerImage()));
    }

    int x(double modelX) const { return static_cast<int>(horizontalFraction(modelX) * image.width()); }
    int y(double value) const
    {
        return static_cast<int>((1.0 - verticalFraction(value, defaultWindow)) * image.height());
    }
    QColor at(int px, int py) const { return image.pixelColor(px, py); }
};

TEST(TracePaint, LayersLandWhereTheGeometrySays)
{
    ASSERT_FALSE(TraceWidget::markerImage().isNull());
    for (const bool throughPainter : {false, true}) {
        SCOPED_TRACE(throughPainter ? "through the painter" : "into the pixels");
        const PaintedFrame f(throughPainter);
        // Black where nothing is drawn: above the line, away from the grid.
        EXPECT_EQ(f.at(3, 3), QColor(Qt::black));
        // The white core along the line, mid-way.
        const QColor core = f.at(f.x(traceX(60)) + 2, f.y(600));
        EXPECT_GT(core.red(), 200) << core.name().toStdString();
        EXPECT_GT(core.green(), 200);
        // The glow just beside the core is the trace blue, not white.
        const QColor glow = f.at(f.x(traceX(60)) + 2, f.y(600) - 3);
        EXPECT_LT(glow.red(), glow.blue());
        EXPECT_GT(glow.blue(), 40);

        // The right-hand part carries only the marker: a blue band at the newest value's height.
        const int headRow = f.y(700);
        const int clearOfHead = f.x(traceX(179)) + 12;
        bool markerSeen = false;
        for (int px = clearOfHead; px < f.image.width(); ++px) {
            for (int py = 0; py < f.image.height(); ++py) {
                const QColor c = f.at(px, py);
                if (std::abs(py - headRow) > 2) {
                    ASSERT_EQ(c, QColor(Qt::black)) << px << "," << py;
                } else if (c != QColor(Qt::black)) {
                    EXPECT_EQ(c.red(), 0);
                    EXPECT_GT(c.blue(), c.green());
                    markerSeen = true;
                }
            }
        }
        EXPECT_TRUE(markerSeen);
    }
}

TEST(TracePaint, BlankEntriesBreakTheLine)
{
    for (const bool throughPainter : {false, true}) {
        SCOPED_TRACE(throughPainter ? "through the painter" : "into the pixels");
        const PaintedFrame line(throughPainter);
        const PaintedFrame gap(throughPainter, 100, 106);
        const PaintedFrame blank(throughPainter, 0, traceLength);
        const int row = line.y(600);
        // Inside the gap nothing but the backdrop; the line goes on either side of it.
        for (int px = line.x(traceX(100)) + 4; px < line.x(traceX(105)) - 4; ++px) {
            ASSERT_NE(line.at(px, row), blank.at(px, row)) << px;
            ASSERT_EQ(gap.at(px, row), blank.at(px, row)) << px;
        }
        EXPECT_EQ(gap.at(line.x(traceX(60)), row), line.at(line.x(traceX(60)), row));
        EXPECT_EQ(gap.at(line.x(traceX(150)), row), line.at(line.x(traceX(150)), row));
    }
}

TEST(TracePaint, StaysInsideItsRectangleOfALargerImage)
{
    // A trace leaving the window at both edges, painted with the painter moved into a larger image:
    // the same pixels as on an image of its own, and nothing outside.
    TraceFrame frame{};
    for (std::size_t i = 0; i < traceLength; ++i)
        frame.points[i] = {traceX(i), i % 2 == 0 ? -5000.0f : 5000.0f};
    frame.newest = 5000.0f;
    frame.window = defaultWindow;
    const QImage marker = TraceWidget::tintedMarker(TraceWidget::markerImage());
    const QRect placed(37, 21, 200, 150);

    QImage own(placed.size(), QImage::Format_RGB32);
    QPainter ownPainter(&own);
    TraceWidget::paintFrame(ownPainter, own.size(), frame, marker);
    ownPainter.end();

    QImage large(300, 200, QImage::Format_RGB32);
    large.fill(Qt::red);
    QPainter painter(&large);
    painter.translate(placed.topLeft());
    TraceWidget::paintFrame(painter, placed.size(), frame, marker);
    painter.end();

    EXPECT_EQ(large.copy(placed), own);
    for (int y = 0; y < large.height(); ++y)
        for (int x = 0; x < large.width(); ++x)
            if (!placed.contains(x, y)) {
                ASSERT_EQ(large.pixelColor(x, y), QColor(Qt::red)) << x << "," << y;
            }
}

TEST(TracePaint, WindowMovesTheLine)
{
    // Narrower window 400..700: 600 now lands at (480 - 400) / 300 of the height from the bottom.
    PaintedFrame f;
    f.frame.window = {400.0f, 700.0f};
    f.image.fill(Qt::black);
    QPainter painter(&f.image);
    TraceWidget::paintFrame(painter, f.image.size(), f.frame, QImage());
    painter.end();
    // Row 440 is the line's centre, so the 1 px core is shared by rows 439 and 440.
    const int row = static_cast<int>((1.0 - 80.0 / 300.0) * f.image.height());
    const int col = f.x(traceX(60)) + 2;
    EXPECT_GT(f.at(col, row - 1).red() + f.at(col, row).red(), 200);
    EXPECT_LT(f.at(col, f.y(600)).red(), 50); // nothing left at the old height
}

} // namespace
} // namespace velorin

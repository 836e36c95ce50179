#pragma once

#include "monitor/TraceView.h"

#include <QImage>
#include <QRegion>

class QPainter;

namespace velorin {

// The live trace's picture, kept from one frame to the next. The whole line moves a step at every
// frame, but it covers only a band of the view: a new frame puts the backdrop back where the last
// one lay and paints itself over it, so a picture costs the pixels under the line, not the view.
// The picture is kept either in an image of its own (see paint) or where it is shown, in the
// window's own image (see paintOver).
class TraceCanvas {
public:
    // The marker is the glow image already tinted (see tintedMarker); a null image leaves it out.
    explicit TraceCanvas(QImage marker);

    // Paints one frame over the whole of a device of the given size.
    static void paintFrame(QPainter& painter, QSize size, const TraceFrame& frame, const QImage& marker);
    // The glow image coloured as the marker is drawn: its alpha kept, its colour the trace blue.
    static QImage tintedMarker(const QImage& glow);
    // Our glow image from the resources (null when missing: the trace is drawn without a marker).
    static QImage markerImage();
    // Every pixel a frame may paint over the backdrop at the given size, in a few dozen rectangles.
    static QRegion footprint(const TraceFrame& frame, QSize size);
    // Paints the frame over a device of the given size within the region only, straight into the
    // pixels the painter paints on (a widget's window image, or an image), leaving the rest as it
    // is. False, with nothing painted, when the region does not hold the frame's footprint or the
    // painter's pixels cannot be reached so: the frame is then to be copied from a canvas.
    static bool paintOver(QPainter& painter, QSize size, const TraceFrame& frame, const QImage& marker,
                          const QRegion& region, const QRegion& frameFootprint);

    // Brings the picture to the frame at the given size in device pixels (all of it anew when the
    // size changed).
    void paint(const TraceFrame& frame, QSize size);
    const QImage& image() const { return m_image; }
    const QImage& marker() const { return m_marker; }
    // Where the frame painted last may differ from the backdrop; empty before the first.
    const QRegion& painted() const { return m_painted; }

private:
    QImage m_marker;
    QImage m_image;
    QRegion m_painted;
};

} // namespace velorin

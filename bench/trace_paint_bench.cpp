// Paints one live-trace frame into a 1024 x 600 image, whole and as the widget's next picture, and
// reports the median and 99th percentile of the frame time: wall time, and the thread's CPU time,
// which leaves out the time the thread waited for a core on a busy machine. With --picture=FILE it
// saves one painted frame as PNG instead.
#include "monitor/qt/TraceCanvas.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

using velorin::TraceFrame;

// About two heartbeats of a sinus rhythm around a baseline of 560, as the feed writes them
// (58 values a second): P wave, QRS complex, T wave.
float beat(double t)
{
    const double phase = std::fmod(t, 0.85);
    auto bump = [phase](double centre, double width, double height) {
        const double d = (phase - centre) / width;
        return height * std::exp(-d * d);
    };
    return static_cast<float>(560.0 + bump(0.20, 0.030, 25.0) - bump(0.33, 0.010, 30.0) + bump(0.36, 0.012, 320.0) -
                              bump(0.39, 0.012, 60.0) + bump(0.62, 0.050, 70.0));
}

double threadCpuMicros()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// The 180 values on show, the oldest written `start` seconds into the signal.
TraceFrame realisticFrame(double start = 0.1)
{
    TraceFrame frame{};
    for (std::size_t i = 0; i < velorin::traceLength; ++i)
        frame.points[i] = {velorin::traceX(i), beat(static_cast<double>(i) / 58.0 + start)};
    frame.newest = frame.points[velorin::traceLength - 1].y;
    frame.window = velorin::defaultWindow;
    return frame;
}

// Times each run of paint and reports the median and 99th percentile, of wall and of CPU time.
template <typename Paint> void measure(benchmark::State& state, Paint paint)
{
    std::vector<double> micros;
    std::vector<double> cpuMicros;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = threadCpuMicros();
        paint();
        cpuMicros.push_back(threadCpuMicros() - cpuStart);
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    auto percentile = [](std::vector<double>& values, std::size_t perCent) {
        std::sort(values.begin(), values.end());
        return values[std::min(values.size() - 1, values.size() * perCent / 100)];
    };
    state.counters["median_us"] = percentile(micros, 50);
    state.counters["p99_us"] = percentile(micros, 99);
    state.counters["cpu_median_us"] = percentile(cpuMicros, 50);
    state.counters["cpu_p99_us"] = percentile(cpuMicros, 99);
}

void paintOneFrame(benchmark::State& state)
{
    QImage image(1024, 600, QImage::Format_ARGB32_Premultiplied);
    const QImage marker = velorin::TraceCanvas::tintedMarker(velorin::TraceCanvas::markerImage());
    const TraceFrame frame = realisticFrame();
    measure(state, [&] {
        QPainter painter(&image);
        velorin::TraceCanvas::paintFrame(painter, image.size(), frame, marker);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    });
}
BENCHMARK(paintOneFrame)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// A picture of the live widget at its steady pace, as it paints it: the line two samples further
// on, painted straight into the window's image (1024 x 600, the trace in a 916 x 486 part of it)
// within the region it asks to repaint, where the last frame lay and where this one goes. Also
// reports the share of the trace's pixels and the rectangles a picture repaints.
void paintNextPicture(benchmark::State& state)
{
    const QRect trace(11, 69, 916, 486);
    const QImage marker = velorin::TraceCanvas::tintedMarker(velorin::TraceCanvas::markerImage());
    QImage window(1024, 600, QImage::Format_ARGB32_Premultiplied);
    // Made beforehand, so that only the picture is timed; about nine seconds of the signal, in turn.
    std::vector<TraceFrame> frames;
    for (int i = 0; i < 256; ++i)
        frames.push_back(realisticFrame(0.1 + i * 2.0 / 58.0));
    QRegion onScreen = QRect(QPoint(0, 0), trace.size());
    double repainted = 0.0;
    double rects = 0.0;
    std::size_t pictures = 0;
    measure(state, [&] {
        const TraceFrame& frame = frames[pictures % frames.size()];
        const QRegion footprint = velorin::TraceCanvas::footprint(frame, trace.size());
        const QRegion region = onScreen | footprint;
        QPainter painter(&window);
        painter.translate(trace.topLeft());
        velorin::TraceCanvas::paintOver(painter, trace.size(), frame, marker, region, footprint);
        painter.end();
        onScreen = footprint;
        for (const QRect& rect : region)
            repainted += rect.width() * rect.height();
        rects += region.rectCount();
        ++pictures;
        benchmark::DoNotOptimize(window.constBits());
    });
    state.counters["repainted_share"] = repainted / pictures / (trace.width() * trace.height());
    state.counters["repainted_rects"] = rects / pictures;
}
BENCHMARK(paintNextPicture)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--picture=", 10) == 0) {
            QImage image(1024, 600, QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&image);
            velorin::TraceCanvas::paintFrame(painter, image.size(), realisticFrame(),
                                             velorin::TraceCanvas::tintedMarker(velorin::TraceCanvas::markerImage()));
            painter.end();
            return image.save(QString::fromLocal8Bit(argv[i] + 10)) ? 0 : 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

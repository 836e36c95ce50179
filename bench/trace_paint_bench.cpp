// Paints one live-trace frame into a 1024 x 600 image, as the widget does at every repaint, and
// reports the median and 99th percentile of the frame time. With --picture=FILE it also saves one
// painted frame as PNG.
#include "monitor/qt/TraceWidget.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
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

TraceFrame realisticFrame()
{
    TraceFrame frame{};
    for (std::size_t i = 0; i < velorin::traceLength; ++i)
        frame.points[i] = {velorin::traceX(i), beat(static_cast<double>(i) / 58.0 + 0.1)};
    frame.newest = frame.points[velorin::traceLength - 1].y;
    frame.window = velorin::defaultWindow;
    return frame;
}

void paintOneFrame(benchmark::State& state)
{
    QImage image(1024, 600, QImage::Format_ARGB32_Premultiplied);
    const QImage marker = velorin::TraceWidget::tintedMarker(velorin::TraceWidget::markerImage());
    const TraceFrame frame = realisticFrame();
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QPainter painter(&image);
        velorin::TraceWidget::paintFrame(painter, image.size(), frame, marker);
        painter.end();
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(image.constBits());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}
BENCHMARK(paintOneFrame)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--picture=", 10) == 0) {
            QImage image(1024, 600, QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&image);
            velorin::TraceWidget::paintFrame(painter, image.size(), realisticFrame(),
                                             velorin::TraceWidget::tintedMarker(velorin::TraceWidget::markerImage()));
            painter.end();
            return image.save(QString::fromLocal8Bit(argv[i] + 10)) ? 0 : 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

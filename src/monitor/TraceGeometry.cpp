#include "monitor/TraceGeometry.h"

namespace velorin {

VerticalWindow verticalWindow(float amplitudeMin, float amplitudeMax)
{
    if (amplitudeMin < amplitudeMax && amplitudeMin != 0.0f && amplitudeMax != 0.0f)
        return {amplitudeMin, amplitudeMax};
    return defaultWindow;
}

float traceX(std::size_t i)
{
    return static_cast<float>(static_cast<double>(i) / 90.0 - 1.0);
}

std::array<TracePoint, traceLength> frameVertices(const std::array<float, traceLength>& curve, std::size_t curveStart)
{
    std::array<TracePoint, traceLength> points{};
    for (std::size_t i = 0; i < traceLength; ++i)
        points[i] = {traceX(i), curve[(curveStart + i) % traceLength]};
    return points;
}

double horizontalFraction(double modelX)
{
    return (0.8 * (modelX - 0.2) + 1.0) / 2.0;
}

double verticalFraction(double modelY, VerticalWindow window)
{
    return (0.8 * modelY - window.bottom) / (window.top - window.bottom);
}

} // namespace velorin

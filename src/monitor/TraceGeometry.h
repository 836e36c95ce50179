#pragma once

#include <array>
#include <cstddef>

namespace velorin {

// Where the trace lands on the drawable. Model x runs from -1 (oldest) to about 0.989 (newest);
// model y is the sample value. The model transform scales by 0.8 and shifts by -0.2 in x.
struct VerticalWindow {
    float bottom;
    float top;
};

struct TracePoint {
    float x;
    float y;
};

inline constexpr std::size_t traceLength = 180;
inline constexpr VerticalWindow defaultWindow{200.0f, 750.0f};

// The stored amplitude bounds are used only when min < max and neither is 0.
VerticalWindow verticalWindow(float amplitudeMin, float amplitudeMax);
// x of ring entry i: i / 90 - 1, computed in double and stored as float.
float traceX(std::size_t i);
// The 180 points, oldest first: point i holds curve[(curveStart + i) mod 180].
std::array<TracePoint, traceLength> frameVertices(const std::array<float, traceLength>& curve, std::size_t curveStart);
// Fraction of the drawable's width from the left edge, and of its height from the bottom edge.
double horizontalFraction(double modelX);
double verticalFraction(double modelY, VerticalWindow window);

} // namespace velorin

#pragma once

#include <chrono>

namespace velorin::noticeStyle {

using namespace std::chrono_literals;

// How long a notice stays fully shown, between its two fades.
inline constexpr std::chrono::nanoseconds duration = 3000ms;
inline constexpr std::chrono::nanoseconds fadeDuration = 200ms;

// The message may take this share of the view's width and height at most.
inline constexpr double maxWidthFraction = 0.8;
inline constexpr double maxHeightFraction = 0.8;
// Around the message inside the box, and between the box's bottom edge and the view's.
inline constexpr double horizontalPadding = 10;
inline constexpr double verticalPadding = 10;

// For the drawing surface: a black box at 0.8 opacity with rounded corners and no shadow, the
// message white, left-aligned, in the system font.
inline constexpr double backgroundAlpha = 0.8;
inline constexpr double cornerRadius = 10;
inline constexpr double fontPointSize = 16;

} // namespace velorin::noticeStyle

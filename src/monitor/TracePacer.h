#pragma once

#include <cstddef>

namespace velorin {

// How far the live trace moves at each display tick. The feed draws about 58 frames a second in
// bursts of 13 (one every second sensor packet); the display ticks about 30 times a second and
// spreads each burst over the ticks until the next, so the line glides rather than jumps by 13
// samples. Ticks that come late (a busy GUI thread, a coarse timer) let frames pile up: whatever
// waits beyond a short backlog is caught up at once, so the picture never trails the newest frame
// by more than about 0.3 s.
class TracePacer {
public:
    // Two frames a tick matches 58 frames a second at 30 ticks and drains a burst of 13 in about
    // 0.22 s, just before the next one comes.
    static constexpr std::size_t steadyStep = 2;
    // About 0.28 s of frames at 58 a second.
    static constexpr std::size_t longestBacklog = 16;

    // The number of waiting frames to move past at this tick (the last of them is shown).
    static std::size_t framesToAdvance(std::size_t waiting);
};

} // namespace velorin

#pragma once

#include "monitor/TraceView.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace velorin {

// Hands frames from the thread that draws them (the Bluetooth queue) to the thread that paints
// them (the GUI). The feed draws its frames in bursts, so they queue here and the painter shows
// them at its own even pace. Each frame is copied in whole under the lock, so a reader gets whole
// frames only, never one half-built. A reader that falls far behind loses the oldest frames: the
// picture skips ahead, while the renderer goes on taking its values as before.
class TraceFrameSlot : public TracePainter {
public:
    struct Published {
        TraceFrame frame;
        std::uint64_t sequence; // 1 for the first frame
    };

    // Over half a second of frames at 58 a second: far more than an even pace keeps waiting.
    static constexpr std::size_t capacity = 32;

    // Called after each frame is published, on the drawing thread and outside the lock.
    explicit TraceFrameSlot(std::function<void()> onPublished = {});

    void paint(const TraceFrame& frame) override;

    std::size_t waiting() const;
    // Moves past the oldest `count` waiting frames (all of them when fewer wait) and returns the
    // last one, or nothing when none waits.
    std::optional<Published> take(std::size_t count);

private:
    mutable std::mutex m_mutex;
    std::array<Published, capacity> m_frames{};
    std::size_t m_first = 0; // the oldest waiting frame
    std::size_t m_count = 0;
    std::uint64_t m_sequence = 0;
    std::function<void()> m_onPublished;
};

} // namespace velorin

#pragma once

#include "monitor/TraceView.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace velorin {

// Hands frames from the thread that draws them (the Bluetooth queue) to the thread that paints
// them (the GUI). Each frame is copied in whole under the lock, so a reader gets either the frame
// before or the frame after, never one half-built.
class TraceFrameSlot : public TracePainter {
public:
    struct Published {
        TraceFrame frame;
        std::uint64_t sequence; // 1 for the first frame
    };

    // Called after each frame is published, on the drawing thread and outside the lock.
    explicit TraceFrameSlot(std::function<void()> onPublished = {});

    void paint(const TraceFrame& frame) override;

    // The latest whole frame, or nothing before the first.
    std::optional<Published> latest() const;

private:
    mutable std::mutex m_mutex;
    TraceFrame m_frame{};
    std::uint64_t m_sequence = 0;
    std::function<void()> m_onPublished;
};

} // namespace velorin

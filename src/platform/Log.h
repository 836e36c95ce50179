#pragma once

#include <atomic>
#include <string_view>

namespace velorin {

// The diagnostic log: plain English lines, one per event. Per-packet lines are verbose and are only
// built when verbose() is on, so a quiet log costs nothing on the packet path.
class Log {
public:
    virtual ~Log() = default;
    virtual void line(std::string_view text) = 0;

    bool verbose() const { return m_verbose.load(std::memory_order_relaxed); }
    void setVerbose(bool on) { m_verbose.store(on, std::memory_order_relaxed); }

private:
    std::atomic<bool> m_verbose{false};
};

} // namespace velorin

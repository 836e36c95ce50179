#pragma once

#include <atomic>

namespace velorin {

enum class AppState { Active, Inactive, Background };

// The application's foreground/background state. Written on the main queue, read by intake and
// the trace renderer on the Bluetooth queue.
class ApplicationState {
public:
    AppState get() const { return m_state.load(std::memory_order_acquire); }
    void set(AppState state) { m_state.store(state, std::memory_order_release); }
    bool isActive() const { return get() == AppState::Active; }

private:
    std::atomic<AppState> m_state{AppState::Active};
};

} // namespace velorin

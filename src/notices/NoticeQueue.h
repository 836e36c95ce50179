#pragma once

#include "notices/NoticeLayout.h"
#include "notices/NoticeView.h"
#include "platform/Timers.h"

#include <deque>
#include <optional>
#include <string>

namespace velorin {

// The transient notices of one view: shown one after another at the bottom, each fading in, staying
// for its duration and fading out before the next one appears; a tap on the notice on screen starts
// its fade-out at once. Runs on the main queue only, as do the timers it starts.
class NoticeQueue {
public:
    NoticeQueue(NoticeView& view, Timers& timers);
    ~NoticeQueue();
    NoticeQueue(const NoticeQueue&) = delete;
    NoticeQueue& operator=(const NoticeQueue&) = delete;

    // Shows message for the default duration, or queues it behind the notice on screen. An empty
    // message shows nothing.
    void makeToast(const std::string& message);
    // From the view: the user tapped the notice. Taps on a notice already fading out, or gone, do nothing.
    void noticeTapped(NoticeId id);

    std::size_t waitingCount() const { return m_waiting.size(); }

private:
    enum class Phase { fadingIn, shown, fadingOut };
    // A notice is sized when it is made, against the view as it is then, and placed when it shows.
    struct Notice {
        NoticeId id;
        std::string message;
        NoticeLayout layout;
        Nanoseconds duration;
    };
    struct Active {
        Notice notice;
        Phase phase;
        Timers::Id timer; // the timer of the current phase
    };

    void show(Notice notice);
    void fadeInFinished(NoticeId id);
    void hide(NoticeId id);
    void fadeOutFinished(NoticeId id);
    bool isActive(NoticeId id) const { return m_active && m_active->notice.id == id; }

    NoticeView& m_view;
    Timers& m_timers;
    NoticeId m_nextId = 1;
    std::optional<Active> m_active;
    std::deque<Notice> m_waiting;
};

} // namespace velorin

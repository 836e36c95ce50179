#include "notices/NoticeQueue.h"

#include "notices/NoticeStyle.h"

namespace velorin {

NoticeQueue::NoticeQueue(NoticeView& view, Timers& timers) : m_view(view), m_timers(timers) {}

NoticeQueue::~NoticeQueue()
{
    // The timers call back into this object.
    if (m_active)
        m_timers.cancel(m_active->timer);
}

void NoticeQueue::makeToast(const std::string& message)
{
    if (message.empty())
        return;
    const NoticeSize viewSize = m_view.viewSize();
    const NoticeSize needs = m_view.measureText(message, viewSize.width * noticeStyle::maxWidthFraction);
    Notice notice{m_nextId++, message, layoutNotice(needs, viewSize), noticeStyle::duration};
    if (m_active)
        m_waiting.push_back(std::move(notice));
    else
        show(std::move(notice));
}

void NoticeQueue::show(Notice notice)
{
    const NoticeId id = notice.id;
    const NoticeRect frame = placeAtBottom(notice.layout.box, m_view.viewSize());
    m_view.showNotice(id, notice.message, frame, notice.layout.label);
    m_view.fadeNotice(id, 1.0, noticeStyle::fadeDuration, FadeCurve::easeOut);
    const Timers::Id timer = m_timers.oneShot(noticeStyle::fadeDuration, [this, id] { fadeInFinished(id); });
    m_active = Active{std::move(notice), Phase::fadingIn, timer};
}

void NoticeQueue::fadeInFinished(NoticeId id)
{
    if (!isActive(id) || m_active->phase != Phase::fadingIn)
        return;
    m_active->phase = Phase::shown;
    m_active->timer = m_timers.oneShot(m_active->notice.duration, [this, id] { hide(id); });
}

void NoticeQueue::noticeTapped(NoticeId id)
{
    hide(id);
}

void NoticeQueue::hide(NoticeId id)
{
    // A notice tapped while it fades in goes straight to its fade-out and never starts its display
    // timer, and a second hide of the same notice is dropped: either would otherwise end the notice
    // twice and bring two waiting notices on screen together.
    if (!isActive(id) || m_active->phase == Phase::fadingOut)
        return;
    m_timers.cancel(m_active->timer);
    m_active->phase = Phase::fadingOut;
    m_view.fadeNotice(id, 0.0, noticeStyle::fadeDuration, FadeCurve::easeIn);
    m_active->timer = m_timers.oneShot(noticeStyle::fadeDuration, [this, id] { fadeOutFinished(id); });
}

void NoticeQueue::fadeOutFinished(NoticeId id)
{
    if (!isActive(id) || m_active->phase != Phase::fadingOut)
        return;
    m_view.removeNotice(id);
    m_active.reset();
    if (m_waiting.empty())
        return;
    Notice next = std::move(m_waiting.front());
    m_waiting.pop_front();
    show(std::move(next));
}

} // namespace velorin

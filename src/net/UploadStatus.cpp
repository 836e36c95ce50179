#include "net/UploadStatus.h"

#include "platform/Clock.h"
#include "platform/LocalTime.h"

namespace velorin {

UploadStatus::UploadStatus(const Clock& clock, Publish publish) : m_clock(clock), m_publish(std::move(publish)) {}

void UploadStatus::offline()
{
    std::lock_guard lock(m_mutex);
    m_latest = "offline";
    m_delivered = false;
    changed();
}

void UploadStatus::accepted()
{
    std::lock_guard lock(m_mutex);
    // "yyyy-MM-dd HH:mm:ss": the hour and minute.
    m_latest = "sent " + formatDateTime(m_clock.now()).substr(11, 5);
    m_delivered = true;
    changed();
}

void UploadStatus::failed(bool answered)
{
    std::lock_guard lock(m_mutex);
    m_latest = answered ? "server error" : "server not reached";
    m_delivered = false;
    changed();
}

void UploadStatus::setWaiting(std::size_t count)
{
    std::lock_guard lock(m_mutex);
    m_waiting = count;
    changed();
}

void UploadStatus::kept()
{
    std::lock_guard lock(m_mutex);
    ++m_waiting;
    changed();
}

void UploadStatus::sent()
{
    std::lock_guard lock(m_mutex);
    if (m_waiting > 0)
        --m_waiting;
    changed();
}

std::string UploadStatus::text() const
{
    std::lock_guard lock(m_mutex);
    return m_shown;
}

void UploadStatus::changed()
{
    std::string text = m_latest;
    if (m_waiting > 0)
        text += (text.empty() ? "" : ", ") + std::to_string(m_waiting) + " waiting";
    if (text == m_shown)
        return;
    m_shown = std::move(text);
    if (m_publish)
        m_publish(m_shown, m_delivered);
}

} // namespace velorin

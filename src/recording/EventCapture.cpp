#include "recording/EventCapture.h"

namespace velorin {

void EventCapture::setActivity(std::string activity)
{
    std::lock_guard lock(m_titleMutex);
    m_eventActivity = std::move(activity);
}

void EventCapture::setFeeling(std::string feeling)
{
    std::lock_guard lock(m_titleMutex);
    m_eventFeeling = std::move(feeling);
}

std::optional<EventCapture::EventFile> EventCapture::eventStep(const std::string& chunkText,
                                                               std::string_view chunkStamp)
{
    if (m_eventPending.load() != 1) {
        // While idle the latest chunk is kept, to open the next event's file.
        m_eventText.assign(chunkText);
        return std::nullopt;
    }
    m_eventText.append(chunkText);
    if (m_eventChunkSeen == 0) {
        m_eventChunkSeen = 1;
        return std::nullopt;
    }
    std::string activity, feeling;
    {
        std::lock_guard lock(m_titleMutex);
        // "none" is written as the empty text, leaving two spaces in a row in the name.
        if (m_eventActivity == "none")
            m_eventActivity.clear();
        if (m_eventFeeling == "none")
            m_eventFeeling.clear();
        activity = m_eventActivity;
        feeling = m_eventFeeling;
    }
    m_eventPending.store(0);
    m_eventChunkSeen = 0;
    if (m_eventText.empty())
        return std::nullopt;
    std::string name(chunkStamp);
    name.append(" ").append(activity).append(" ").append(feeling).append(" .event");
    return EventFile{std::move(name), m_eventText};
}

} // namespace velorin

#include "recording/EventCapture.h"

#include <algorithm>

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

void EventCapture::keepLatestChunk(const std::string& chunkText)
{
    m_eventText.append(chunkText);
    // Cut at a sample's end, so that the text still begins with a whole sample.
    std::size_t samples = 0;
    for (std::size_t at = m_eventText.size(); at-- > 0;)
        if (m_eventText[at] == ' ' && ++samples > chunkSamples) {
            m_eventText.erase(0, at + 1);
            return;
        }
}

std::optional<EventCapture::EventFile> EventCapture::eventStep(const std::string& chunkText,
                                                               std::string_view chunkStamp)
{
    const std::size_t samples = static_cast<std::size_t>(std::count(chunkText.begin(), chunkText.end(), ' '));
    if (m_eventPending.load() != 1) {
        // While idle the latest chunk is kept, to open the next event's file; after short flushes,
        // the latest chunk's worth of them.
        if (samples >= chunkSamples)
            m_eventText.assign(chunkText);
        else
            keepLatestChunk(chunkText);
        return std::nullopt;
    }
    m_eventText.append(chunkText);
    if (m_eventChunkSeen == 0) {
        m_eventChunkSeen = 1;
        m_samplesAfter = 0;
        return std::nullopt;
    }
    m_samplesAfter += samples;
    if (m_samplesAfter < chunkSamples)
        return std::nullopt;
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

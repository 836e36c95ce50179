#include "net/Credentials.h"
#include "net/EventSubmitter.h"

#include "net/Endpoints.h"
#include "net/RequestBuilding.h"
#include "net/RequestQueue.h"
#include "platform/Clock.h"
#include "platform/LocalTime.h"
#include "platform/Log.h"
#include "settings/SettingsStore.h"
#include "signal/Acquisition.h"
#include "signal/StreamFormat.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <mutex>

namespace velorin {

namespace {

// A kept event holds the body it was sent with: sent again, the server sees the first try's date.
// It goes to the event server of the day, never to an address read from the file: a server that
// has moved since would never take it, and anyone who can write the folder could send it anywhere.
std::string keptEvent(const std::string& body)
{
    return nlohmann::json{{"body", body}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<HttpRequest> keptRequest(const std::string& bytes, const std::string& url)
{
    const nlohmann::json kept = nlohmann::json::parse(bytes, nullptr, false);
    if (!kept.is_object() || !kept.contains("body") || !kept["body"].is_string())
        return std::nullopt;
    return jsonPost(url, kept["body"].get<std::string>());
}

// "yyyy-MM-dd HH:mm:ss" becomes the file name "yyyy-MM-dd_HHmmss.json"; the second and later
// events of the same second get "_N" before the suffix. The folder's own "~N" copies are bounded,
// and a burst of marks within one second must not run out of them.
std::string keptName(std::string date, std::uint64_t sameSecond)
{
    std::replace(date.begin(), date.end(), ' ', '_');
    date.erase(std::remove(date.begin(), date.end(), ':'), date.end());
    return date + (sameSecond == 0 ? "" : "_" + std::to_string(sameSecond)) + ".json";
}

} // namespace

EventSubmitter::EventSubmitter(Acquisition& acquisition, RequestQueue* requests, Files& files, SettingsStore& settings,
                               const Clock& clock, Log& log, const std::string& documentsDirectory,
                               std::string collectionUrl)
    : m_acq(acquisition), m_requests(requests), m_settings(settings), m_clock(clock), m_log(log),
      m_collectionUrl(std::move(collectionUrl)), m_buffer(files, log, documentsDirectory + "/EventBuffer", ".json")
{
}

std::string EventSubmitter::eventUrl() const
{
    return m_acq.eventServerAddress.empty() ? m_collectionUrl : serverUrl(m_acq.eventServerAddress);
}

void EventSubmitter::sendMarkedEvent(const std::string& activity)
{
    {
        std::lock_guard lock(m_acq.bufferMutex);
        m_acq.recordBuffer.append(annotationRecord(m_acq.packetsSinceStart.load(), activity));
    }
    if (!m_requests) {
        if (!m_noNetworkLogged)
            m_log.line("No network attached: marked events are kept in the recording only");
        m_noNetworkLogged = true;
        return;
    }
    const std::string date = formatDateTime(m_clock.now());
    m_sameSecond = date == m_lastDate ? m_sameSecond + 1 : 0;
    m_lastDate = date;
    const std::string url = eventUrl();
    const std::string body = eventBody(eventKey(m_settings), activity, patientId(m_settings), date);
    m_requests->sendNow(jsonPost(url, body), [buffer = m_buffer, log = &m_log, body,
                                              name = keptName(date, m_sameSecond)](const HttpResponse& response) {
        if (response.success()) {
            if (!response.body.empty())
                log->line("responseData: " + response.body);
            return std::string();
        }
        log->line("Event not delivered (" + failureText(response) + "); kept for a later try");
        return buffer.keep(name, keptEvent(body)).value_or(std::string());
    });
}

void EventSubmitter::resendKept()
{
    if (!m_requests)
        return;
    const std::string url = eventUrl();
    for (const BufferDirectory::Entry& entry : m_buffer.sendable(m_reported)) {
        auto prepare = [buffer = m_buffer, log = &m_log, entry, url]() -> std::optional<HttpRequest> {
            const std::optional<std::string> bytes = buffer.read(entry);
            if (!bytes)
                return std::nullopt;
            std::optional<HttpRequest> request = keptRequest(*bytes, url);
            if (!request)
                log->line("EventBuffer entry " + entry.name + " not sent: not a kept event");
            return request;
        };
        auto answered = [buffer = m_buffer, log = &m_log, path = entry.path,
                         name = entry.name](const HttpResponse& response) {
            if (!response.success()) {
                log->line("Kept event " + name + " not delivered (" + failureText(response) + "); tried again later");
                return path;
            }
            if (!response.body.empty())
                log->line("responseData: " + response.body);
            return buffer.remove(path) ? std::string() : path;
        };
        m_requests->sendLater(entry.path, url, std::move(prepare), std::move(answered));
    }
}

} // namespace velorin

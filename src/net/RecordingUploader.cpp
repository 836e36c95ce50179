#include "net/Credentials.h"
#include "net/RecordingUploader.h"

#include "net/Endpoints.h"
#include "net/EventSubmitter.h"
#include "net/Location.h"
#include "net/Reachability.h"
#include "net/RequestBuilding.h"
#include "net/RequestQueue.h"
#include "net/UploadStatus.h"
#include "platform/Log.h"
#include "settings/SettingsStore.h"
#include "signal/Acquisition.h"

#include <utility>

namespace velorin {

namespace {

// Whether the server took an upload; logs the answer and tells the status either way.
bool tookIt(const HttpResponse& response, Log& log, UploadStatus& status)
{
    if (response.success() && !response.body.empty()) {
        log.line("responseData: " + response.body);
        status.accepted();
        return true;
    }
    log.line(response.success() ? std::string("Nothing was downloaded.") : "Error = " + failureText(response));
    status.failed(response.transferred());
    return false;
}

} // namespace

RecordingUploader::RecordingUploader(Ports ports, const Acquisition& acquisition, const std::string& documentsDirectory,
                                     std::string collectionUrl, std::shared_ptr<UploadStatus> status)
    : m_ports(ports), m_acq(acquisition), m_collectionUrl(std::move(collectionUrl)), m_status(std::move(status)), m_buffer(ports.files, ports.log, documentsDirectory + "/Buffer", ".ecg")
{
    m_ports.requests.onRecovered([this] { checkBuffer(); });
}

RecordingUploader::~RecordingUploader()
{
    m_ports.requests.onRecovered(nullptr);
}

std::string RecordingUploader::uploadUrl() const
{
    return m_acq.fileServerList.empty() ? m_collectionUrl : serverUrl(m_acq.fileServerList.front());
}

void RecordingUploader::writeToServer(std::string& uploadBuffer, const std::string& chunkStamp)
{
    m_ports.location.startUpdatingLocation();
    const std::string name = uploadFileName(chunkStamp, m_ports.location.lastKnown());
    std::string bytes;
    bytes.swap(uploadBuffer);
    uploadBuffer.clear();

    const bool reachable = m_ports.reachability.reachable();
    // Back on the network, a server that failed while it was away is tried again at once.
    if (reachable && std::exchange(m_wasOffline, false))
        m_ports.requests.endBackoff();
    if (!reachable) {
        m_wasOffline = true;
        m_status->offline();
        if (bytes.empty())
            m_ports.log.line("Nothing kept for " + name + ": no packet bytes");
        else if (m_buffer.keep(name, bytes))
            m_status->kept();
        return;
    }

    // Once the server has failed, the chunk waits in the Buffer with the rest until a probe is taken.
    if (m_ports.requests.turn(uploadUrl()) != RequestQueue::Turn::all) {
        if (!bytes.empty() && m_buffer.keep(name, bytes))
            m_status->kept();
        checkBuffer();
        return;
    }

    HttpRequest request = uploadRequest(uploadUrl(), uploadToken(m_ports.settings), name, bytes);
    // An upload the server did not take is kept like one made offline, so its bytes are not lost.
    m_ports.requests.sendNow(std::move(request), [buffer = m_buffer, log = &m_ports.log, status = m_status, name,
                                                  bytes = std::move(bytes)](const HttpResponse& response) {
        // Only a body shows that the server took the bytes, as for a buffered file: an empty answer
        // keeps them for another try (a server that stored them counts the repeat as a duplicate).
        if (tookIt(response, *log, *status))
            return std::string();
        if (bytes.empty())
            return std::string();
        std::optional<std::string> kept = buffer.keep(name, bytes);
        if (kept) {
            log->line("Kept " + name + " in Buffer for a later try");
            status->kept();
        }
        return kept.value_or(std::string());
    });
    checkBuffer();
}

void RecordingUploader::checkBuffer()
{
    const std::string url = uploadUrl();
    std::vector<BufferDirectory::Entry> entries;
    switch (m_ports.requests.turn(url)) {
    case RequestQueue::Turn::all:
        // While files of the last pass still wait for a slot, a listing would add only what was kept
        // since; the pass after them brings that.
        if (!m_ports.requests.keptWaiting(url)) {
            entries = m_buffer.sendable(m_reported);
            m_status->setWaiting(entries.size());
        }
        break;
    case RequestQueue::Turn::probe:
        // A server that failed is probed with the oldest file alone, so that one which keeps failing
        // cannot starve it; the rest follow once it is taken.
        if (std::optional<BufferDirectory::Entry> oldest = m_buffer.oldest(m_reported))
            entries.push_back(std::move(*oldest));
        break;
    case RequestQueue::Turn::none:
        break;
    }
    if (!entries.empty()) {
        const std::string token = uploadToken(m_ports.settings);
        for (const BufferDirectory::Entry& entry : entries) {
            auto prepare = [buffer = m_buffer, entry, token, url]() -> std::optional<HttpRequest> {
                const std::optional<std::string> bytes = buffer.read(entry);
                if (!bytes)
                    return std::nullopt;
                return uploadRequest(url, token, BufferDirectory::sentName(entry.name), *bytes);
            };
            // Only a body shows that the server took the file; until then it stays.
            auto answered = [buffer = m_buffer, log = &m_ports.log, status = m_status,
                             path = entry.path](const HttpResponse& response) {
                if (!tookIt(response, *log, *status))
                    return path;
                if (!buffer.remove(path))
                    return path;
                status->sent();
                return std::string();
            };
            m_ports.requests.sendLater(entry.path, url, std::move(prepare), std::move(answered));
        }
    }
    if (m_events)
        m_events->resendKept();
    m_ports.requests.pump();
}

} // namespace velorin

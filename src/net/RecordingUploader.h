#pragma once

#include "net/BufferDirectory.h"
#include "recording/UploadSink.h"

#include <memory>
#include <set>
#include <string>

namespace velorin {

struct Acquisition;
class EventSubmitter;
class Location;
class Log;
class Reachability;
class RequestQueue;
class SettingsStore;
class UploadStatus;

// Sends each chunk's packet bytes to the collection server as Base64 in a JSON POST, or keeps them
// in the "Buffer" directory while the network is unreachable or the server does not take them. Every
// online upload is followed by a pass that sends the buffered files; a file goes only once the
// server has answered it with a body.
//
// writeToServer and checkBuffer run on the Bluetooth queue (checkBuffer also as soon as a server that
// failed takes a probe); answers are taken on the completions' threads, and touch nothing of this object.
class RecordingUploader : public UploadSink {
public:
    struct Ports {
        RequestQueue& requests;
        Reachability& reachability;
        Location& location;
        Files& files;
        SettingsStore& settings;
        Log& log;
    };

    // fileServerList of the acquisition picks the upload URL; without one, collectionUrl. The status
    // hears of every upload's end and of the Buffer's size.
    RecordingUploader(Ports ports, const Acquisition& acquisition, const std::string& documentsDirectory,
                      std::string collectionUrl, std::shared_ptr<UploadStatus> status);
    ~RecordingUploader() override;
    RecordingUploader(const RecordingUploader&) = delete;
    RecordingUploader& operator=(const RecordingUploader&) = delete;

    void writeToServer(std::string& uploadBuffer, const std::string& chunkStamp) override;
    void checkBuffer();
    // Events kept for a later try go out with every pass.
    void setEventSubmitter(EventSubmitter* events) { m_events = events; }

private:
    std::string uploadUrl() const;

    Ports m_ports;
    const Acquisition& m_acq;
    std::string m_collectionUrl;
    std::shared_ptr<UploadStatus> m_status;
    BufferDirectory m_buffer;
    std::set<std::string> m_reported; // Buffer entries already logged as not sent
    EventSubmitter* m_events = nullptr;
    bool m_wasOffline = false; // Bluetooth queue only
};

} // namespace velorin

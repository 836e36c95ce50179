#pragma once

#include "net/BufferDirectory.h"

#include <cstdint>
#include <set>
#include <string>

namespace velorin {

struct Acquisition;
class Clock;
class Files;
class Log;
class RequestQueue;
class SettingsStore;

// Sends a marked event's activity to the event server at once, after putting its annotation record
// into the recording stream. An event the server does not take is kept in "EventBuffer" and sent
// again with every upload pass until it is delivered.
//
// sendMarkedEvent and resendKept run on the Bluetooth queue; answers are taken on the completions'
// threads, and touch nothing of this object.
class EventSubmitter {
public:
    // Without requests (no network at all) events go only into the recording, and the log says so once.
    EventSubmitter(Acquisition& acquisition, RequestQueue* requests, Files& files, SettingsStore& settings,
                   const Clock& clock, Log& log, const std::string& documentsDirectory, std::string collectionUrl);

    void sendMarkedEvent(const std::string& activity);
    // Queues the kept events for sending; the caller sends what the free slots allow.
    void resendKept();

private:
    std::string eventUrl() const;

    Acquisition& m_acq;
    RequestQueue* m_requests;
    SettingsStore& m_settings;
    const Clock& m_clock;
    Log& m_log;
    std::string m_collectionUrl;
    BufferDirectory m_buffer;
    std::set<std::string> m_reported; // EventBuffer entries already logged as not sent
    bool m_noNetworkLogged = false;
    std::string m_lastDate;       // of the latest event sent
    std::uint64_t m_sameSecond = 0; // events before it in that second

};

} // namespace velorin

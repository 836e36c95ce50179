#pragma once

#include "net/HttpClient.h"
#include "platform/Seconds.h"

#include <cstdint>
#include <deque>
#include <vector>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace velorin {

class Clock;
class Queue;

// The requests of uploads and events: at most four open at once, new ones ahead of those from the
// buffer directories, a buffered file never sent again while its earlier request is open or waiting.
// At most four new requests wait for a slot; a further one is answered at once as not sent, so that
// its bytes go to the buffer directory rather than wait in memory.
// A server that failed an attempt (no connection, a time-out, a reset, a 5xx, a 2xx without a body)
// gets nothing more until its back-off ends (30 s, doubling up to 30 min, each ±20%); then the first
// buffered file queued for it probes it alone, and once that is taken the queue drains at full speed
// again. A new request for a server that failed and has not taken a probe yet is answered at once as
// not sent, so its bytes go to the buffer directory and a probe comes only from there.
// A file refused for itself (unreadable, a 4xx) is held back alone, on the same schedule.
//
// Requests are sent on the Bluetooth queue; answers arrive on background threads. The state they
// share lives behind a lock in an object the completions keep alive, so a completion that comes
// after the queue is gone finds it closed and does nothing.
class RequestQueue {
public:
    static constexpr int maxOpen = 4;
    static constexpr Nanoseconds firstRetryDelay = std::chrono::seconds(30);
    static constexpr Nanoseconds longestRetryDelay = std::chrono::minutes(30);

    // What a server may be sent now: anything (it has not failed, or it took the probe after its
    // failure), one probe (it failed and its back-off is over), or nothing (it backs off, or its
    // probe is open).
    enum class Turn { all, probe, none };

    // Takes an answer, on the completion's thread, under the queue's lock, never once the queue is
    // closed. Returns the file to hold back before its next try (a buffered file whose try failed,
    // or the file a failed new request was kept in); empty when there is none.
    using Answered = std::function<std::string(const HttpResponse&)>;
    // Builds a buffered file's request once a slot is free (Bluetooth queue); nullopt skips the file,
    // which is then held back like one whose try failed.
    using Prepare = std::function<std::optional<HttpRequest>()>;

    RequestQueue(Queue& bluetoothQueue, HttpClient& http, const Clock& clock);
    ~RequestQueue();
    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    // Bluetooth queue. Sent as soon as a slot is free, before any buffered file.
    void sendNow(HttpRequest request, Answered answered);
    // Bluetooth queue. Queues the buffered file `path`, to go to `url`, unless it is open or waiting
    // already, or still held back after a failed try; false when it was not queued.
    bool sendLater(const std::string& path, const std::string& url, Prepare prepare, Answered answered);
    // The network is reachable again: every server's back-off ends at once. One request still probes
    // a server that failed, and if that fails too the back-off goes on from where it was, so that a
    // network that comes and goes gets no more than one request through per step. Any thread.
    void endBackoff();
    // Any thread.
    Turn turn(const std::string& url) const;
    // Whether buffered files queued for the server of this URL still wait for a slot. Any thread.
    bool keptWaiting(const std::string& url) const;
    // Bluetooth queue. Sends what the free slots allow.
    void pump();
    // Runs on the Bluetooth queue whenever a server that failed has taken a probe, so that what waits
    // for it in the buffer directories is queued at once, not with the next pass. Never once closed.
    void onRecovered(std::function<void()> recovered);
    // From now on nothing is sent and answers are dropped. New requests that got no answer (waiting
    // or open) are answered at once as not sent, so that their bytes are kept for a later run.
    // Any thread.
    void close();

    int openCount() const;
    std::size_t waitingCount() const;

private:
    struct Job {
        std::string path; // empty for a new request
        std::string server; // the URL's scheme and authority
        std::optional<HttpRequest> request;
        Prepare prepare;
        Answered answered;
    };
    struct HeldBack {
        int failures = 0;
        Nanoseconds until{0};
    };
    struct Server {
        HeldBack backoff;
        int open = 0;
    };
    struct State : std::enable_shared_from_this<State> {
        State(Queue& bluetooth, HttpClient& http, const Clock& clock)
            : bluetooth(bluetooth), http(http), clock(clock)
        {
        }
        void pumpLocked();
        void settle(const Job& job, const HttpResponse& response);
        void holdBack(const std::string& path);
        void holdBack(HeldBack& held);
        Turn turnOf(const std::string& server) const;
        // Takes the first job that may be sent from the queue, or nothing.
        std::optional<Job> takeSendable(std::deque<Job>& from);

        Queue& bluetooth;
        HttpClient& http;
        const Clock& clock;
        mutable std::mutex mutex;
        bool closed = false;
        bool pumpPosted = false;
        bool recoveredPending = false; // a probe was taken since the last pump
        std::function<void()> recovered;
        int open = 0;
        std::uint64_t nextId = 1;
        std::map<std::uint64_t, Job> openJobs;
        std::deque<Job> fresh;
        std::deque<Job> buffered;
        std::set<std::string> busy; // buffered files open or waiting
        std::map<std::string, HeldBack> heldBack;
        std::map<std::string, Server> servers;
        std::uint64_t jitterState;
    };

    std::shared_ptr<State> m_state;
};

} // namespace velorin

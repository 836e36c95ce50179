#include "net/RequestQueue.h"

#include "platform/Clock.h"
#include "platform/Queue.h"

#include <algorithm>
#include <utility>

namespace velorin {

namespace {

// The scheme and authority of a URL: what names one server.
std::string serverOf(const std::string& url)
{
    const std::size_t scheme = url.find("://");
    const std::size_t from = scheme == std::string::npos ? 0 : scheme + 3;
    return url.substr(0, url.find_first_of("/?#", from));
}

// A failed attempt tells of the server, not of the request: no answer, a server error, or an
// acceptance without the body that shows the bytes were taken.
bool serverFailed(const HttpResponse& response)
{
    return !response.transferred() || response.status >= 500 || (response.success() && response.body.empty());
}

} // namespace

RequestQueue::RequestQueue(Queue& bluetoothQueue, HttpClient& http, const Clock& clock)
    : m_state(std::make_shared<State>(bluetoothQueue, http, clock))
{
    // Jitter apart the probes of recorders that lost the same server at the same moment.
    m_state->jitterState = static_cast<std::uint64_t>(clock.now() * 1e6);
}

void RequestQueue::endBackoff()
{
    std::lock_guard lock(m_state->mutex);
    for (auto& [name, server] : m_state->servers)
        server.backoff.until = Nanoseconds{0};
}

RequestQueue::Turn RequestQueue::turn(const std::string& url) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->turnOf(serverOf(url));
}

bool RequestQueue::keptWaiting(const std::string& url) const
{
    const std::string server = serverOf(url);
    std::lock_guard lock(m_state->mutex);
    return std::any_of(m_state->buffered.begin(), m_state->buffered.end(),
                       [&](const Job& job) { return job.server == server; });
}

RequestQueue::~RequestQueue()
{
    close();
}

void RequestQueue::close()
{
    std::vector<Job> unanswered;
    {
        std::lock_guard lock(m_state->mutex);
        State& s = *m_state;
        if (s.closed)
            return;
        s.closed = true;
        for (Job& job : s.fresh)
            unanswered.push_back(std::move(job));
        for (auto& [id, job] : s.openJobs)
            if (job.path.empty())
                unanswered.push_back(std::move(job));
        s.fresh.clear();
        s.buffered.clear();
        s.openJobs.clear();
    }
    // Buffered files stay where they are; only a new request's bytes live nowhere else.
    HttpResponse notSent;
    notSent.error = "not sent: the run ended before an answer came";
    for (Job& job : unanswered)
        job.answered(notSent);
}

void RequestQueue::sendNow(HttpRequest request, Answered answered)
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->closed)
        return;
    std::string server = serverOf(request.url);
    m_state->fresh.push_back(Job{{}, std::move(server), std::move(request), {}, std::move(answered)});
    m_state->pumpLocked();
    // More new requests waiting for a slot would wait in memory as long as a server takes to answer,
    // without end behind one that never does: the latest goes where its bytes are kept.
    if (!m_state->closed && m_state->fresh.size() > maxOpen) {
        const Job job = std::move(m_state->fresh.back());
        m_state->fresh.pop_back();
        HttpResponse notSent;
        notSent.error = "not sent: earlier requests still wait for an answer";
        job.answered(notSent);
    }
}

bool RequestQueue::sendLater(const std::string& path, const std::string& url, Prepare prepare, Answered answered)
{
    std::lock_guard lock(m_state->mutex);
    State& s = *m_state;
    if (s.closed || s.busy.count(path) != 0)
        return false;
    // Kept files wait where they are while their server is given time; a later pass brings them.
    if (const auto server = s.servers.find(serverOf(url));
        server != s.servers.end() && s.clock.monotonic() < server->second.backoff.until)
        return false;
    if (auto held = s.heldBack.find(path); held != s.heldBack.end() && s.clock.monotonic() < held->second.until)
        return false;
    s.busy.insert(path);
    s.buffered.push_back(Job{path, serverOf(url), std::nullopt, std::move(prepare), std::move(answered)});
    return true;
}

void RequestQueue::pump()
{
    std::lock_guard lock(m_state->mutex);
    m_state->pumpPosted = false;
    m_state->pumpLocked();
}

void RequestQueue::onRecovered(std::function<void()> recovered)
{
    std::lock_guard lock(m_state->mutex);
    m_state->recovered = std::move(recovered);
}

int RequestQueue::openCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->open;
}

std::size_t RequestQueue::waitingCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->fresh.size() + m_state->buffered.size();
}

RequestQueue::Turn RequestQueue::State::turnOf(const std::string& server) const
{
    const auto found = servers.find(server);
    if (found == servers.end() || found->second.backoff.failures == 0)
        return Turn::all;
    if (clock.monotonic() < found->second.backoff.until || found->second.open > 0)
        return Turn::none;
    return Turn::probe;
}

std::optional<RequestQueue::Job> RequestQueue::State::takeSendable(std::deque<Job>& from)
{
    for (auto it = from.begin(); it != from.end(); ++it)
        if (turnOf(it->server) != Turn::none) {
            Job job = std::move(*it);
            from.erase(it);
            return job;
        }
    return std::nullopt;
}

void RequestQueue::State::pumpLocked()
{
    // New requests for a server that failed are not tried: their bytes go where they wait, and the
    // probe comes from there.
    for (auto it = fresh.begin(); !closed && it != fresh.end();) {
        if (turnOf(it->server) == Turn::all) {
            ++it;
            continue;
        }
        const Job job = std::move(*it);
        it = fresh.erase(it);
        HttpResponse notSent;
        notSent.error = "not sent: the server failed a moment ago and is given time";
        job.answered(notSent);
    }
    while (!closed && open < maxOpen) {
        std::optional<Job> next = takeSendable(fresh);
        if (!next)
            next = takeSendable(buffered);
        if (!next)
            break;
        Job job = std::move(*next);
        if (!job.request)
            job.request = job.prepare();
        if (!job.request) {
            // Unreadable for now: tried again later, not at every pass.
            busy.erase(job.path);
            holdBack(job.path);
            continue;
        }
        ++open;
        ++servers[job.server].open;
        HttpRequest request = std::move(*job.request);
        job.request.reset();
        job.prepare = nullptr;
        const std::uint64_t id = nextId++;
        openJobs.emplace(id, std::move(job));
        // The completion holds the state, not the queue: it may come after the queue is gone.
        http.send(std::move(request), [self = shared_from_this(), id](HttpResponse response) {
            std::lock_guard lock(self->mutex);
            --self->open;
            const auto found = self->openJobs.find(id);
            if (found != self->openJobs.end())
                --self->servers[found->second.server].open;
            if (self->closed || found == self->openJobs.end())
                return;
            const Job job = std::move(found->second);
            self->openJobs.erase(found);
            self->settle(job, response);
            if (!self->pumpPosted && (!self->fresh.empty() || !self->buffered.empty() || self->recoveredPending)) {
                self->pumpPosted = true;
                self->bluetooth.async([self] {
                    std::function<void()> recovered;
                    {
                        std::lock_guard lock(self->mutex);
                        self->pumpPosted = false;
                        self->pumpLocked();
                        if (std::exchange(self->recoveredPending, false) && !self->closed)
                            recovered = self->recovered;
                    }
                    // Outside the lock: it queues more.
                    if (recovered)
                        recovered();
                });
            }
        });
    }
}

void RequestQueue::State::settle(const Job& job, const HttpResponse& response)
{
    const std::string retry = job.answered(response);
    if (!job.path.empty()) {
        busy.erase(job.path);
        if (retry != job.path)
            heldBack.erase(job.path);
    }
    // The server's failure holds back all that goes to it, on one clock; a file it refused for
    // itself waits alone.
    Server& server = servers[job.server];
    if (serverFailed(response)) {
        // Requests open together fail together: one step of the back-off for all of them.
        if (clock.monotonic() >= server.backoff.until)
            holdBack(server.backoff);
        // Kept files queued for it wait in their directory instead, for a pass after the back-off.
        std::erase_if(buffered, [&](const Job& waiting) {
            if (waiting.server != job.server)
                return false;
            busy.erase(waiting.path);
            return true;
        });
        if (!retry.empty())
            heldBack.erase(retry);
    } else {
        if (server.backoff.failures > 0)
            recoveredPending = true;
        server.backoff = {};
        if (!retry.empty())
            holdBack(retry);
    }
}

void RequestQueue::State::holdBack(const std::string& path)
{
    holdBack(heldBack[path]);
}

void RequestQueue::State::holdBack(HeldBack& held)
{
    held.failures = std::min(held.failures + 1, 16);
    Nanoseconds delay = firstRetryDelay;
    for (int i = 1; i < held.failures && delay < longestRetryDelay; ++i)
        delay *= 2;
    delay = std::min(delay, longestRetryDelay);
    // ±20%, from a small generator of our own: cheap, and the same in every virtual run.
    jitterState = jitterState * 6364136223846793005ULL + 1442695040888963407ULL;
    const double spread = 0.8 + 0.4 * static_cast<double>(jitterState >> 11) / static_cast<double>(1ULL << 53);
    held.until = clock.monotonic() + Nanoseconds(static_cast<Nanoseconds::rep>(static_cast<double>(delay.count()) * spread));
}

} // namespace velorin

#include "net/RequestQueue.h"

#include "platform/Clock.h"
#include "platform/Queue.h"

#include <algorithm>

namespace velorin {

RequestQueue::RequestQueue(Queue& bluetoothQueue, HttpClient& http, const Clock& clock)
    : m_state(std::make_shared<State>(bluetoothQueue, http, clock))
{
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
    m_state->fresh.push_back(Job{{}, std::move(request), {}, std::move(answered)});
    m_state->pumpLocked();
}

bool RequestQueue::sendLater(const std::string& path, Prepare prepare, Answered answered)
{
    std::lock_guard lock(m_state->mutex);
    State& s = *m_state;
    if (s.closed || s.busy.count(path) != 0)
        return false;
    if (auto held = s.heldBack.find(path); held != s.heldBack.end() && s.clock.monotonic() < held->second.until)
        return false;
    s.busy.insert(path);
    s.buffered.push_back(Job{path, std::nullopt, std::move(prepare), std::move(answered)});
    return true;
}

void RequestQueue::pump()
{
    std::lock_guard lock(m_state->mutex);
    m_state->pumpPosted = false;
    m_state->pumpLocked();
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

void RequestQueue::State::pumpLocked()
{
    while (!closed && open < maxOpen && (!fresh.empty() || !buffered.empty())) {
        std::deque<Job>& from = fresh.empty() ? buffered : fresh;
        Job job = std::move(from.front());
        from.pop_front();
        if (!job.request)
            job.request = job.prepare();
        if (!job.request) {
            // Unreadable for now: tried again later, not at every pass.
            busy.erase(job.path);
            holdBack(job.path);
            continue;
        }
        ++open;
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
            if (self->closed || found == self->openJobs.end())
                return;
            const Job job = std::move(found->second);
            self->openJobs.erase(found);
            self->settle(job, response);
            if (!self->pumpPosted && (!self->fresh.empty() || !self->buffered.empty())) {
                self->pumpPosted = true;
                self->bluetooth.async([self] {
                    std::lock_guard lock(self->mutex);
                    self->pumpPosted = false;
                    self->pumpLocked();
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
    if (!retry.empty())
        holdBack(retry);
}

void RequestQueue::State::holdBack(const std::string& path)
{
    HeldBack& held = heldBack[path];
    held.failures = std::min(held.failures + 1, 16);
    Nanoseconds delay = firstRetryDelay;
    for (int i = 1; i < held.failures && delay < longestRetryDelay; ++i)
        delay *= 2;
    held.until = clock.monotonic() + std::min(delay, longestRetryDelay);
}

} // namespace velorin

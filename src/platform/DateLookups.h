#pragma once

#include "platform/Files.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velorin {

// Creation dates of many names, looked up on helper threads in batches handed over as the names
// come, so that the caller can go on reading a directory meanwhile. On a month of recordings the
// kernel's name lookups and its reading of the directory are each about as long as the catalogue
// may take to show, and each can have a core of its own.
class DateLookups {
public:
    using LookUp = std::function<std::optional<CreationDate>(const char* name)>;

    // lookUp is called on several threads at once.
    explicit DateLookups(LookUp lookUp);
    ~DateLookups();
    DateLookups(const DateLookups&) = delete;
    DateLookups& operator=(const DateLookups&) = delete;

    // The date of `name` goes to dates[index] at finish().
    void add(std::uint32_t index, std::string_view name);
    // Called once, after the last add(): looks up what is left, here and on the helpers, and puts
    // every date in place; dates must be long enough for every index added. Indexes not added are
    // left as they are.
    void finish(std::vector<std::optional<CreationDate>>& dates);

private:
    struct Batch {
        std::string names; // each ends with a zero byte
        std::vector<std::size_t> starts;
        std::vector<std::uint32_t> indexes;
        std::vector<std::optional<CreationDate>> dates;
    };
    void handOver();
    void addHelpers();
    Batch* take(bool wait);
    void lookUpBatch(Batch& batch);
    void stopHelpers();

    LookUp m_lookUp;
    Batch m_filling;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Batch> m_batches; // stays in place as more are added
    std::size_t m_next = 0;      // the first batch no thread has taken
    bool m_closed = false;
    std::atomic<bool> m_waitingOnDisk{false};
    std::vector<std::thread> m_helpers;
};

} // namespace velorin

#include "platform/DateLookups.h"

#include <algorithm>
#include <system_error>

namespace velorin {

namespace {

// Large enough that handing over costs nothing next to the lookups, small enough that the helpers
// start while the directory is still being read.
constexpr std::size_t namesPerBatch = 1024;

} // namespace

DateLookups::DateLookups(LookUp lookUp) : m_lookUp(std::move(lookUp)) {}

DateLookups::~DateLookups()
{
    stopHelpers();
}

void DateLookups::add(std::uint32_t index, std::string_view name)
{
    m_filling.names.append(name);
    m_filling.names.push_back('\0');
    m_filling.indexes.push_back(index);
    if (m_filling.indexes.size() >= namesPerBatch)
        handOver();
}

void DateLookups::handOver()
{
    {
        std::lock_guard lock(m_mutex);
        m_batches.push_back(std::move(m_filling));
    }
    m_filling = {};
    m_ready.notify_one();
    if (m_helpersStarted)
        return;
    // Started with the first full batch: a small directory is looked up without any thread. One
    // core stays with the caller, which goes on reading.
    m_helpersStarted = true;
    const unsigned helpers = std::clamp(std::thread::hardware_concurrency(), 2u, 4u) - 1;
    try {
        for (unsigned i = 0; i < helpers; ++i)
            m_helpers.emplace_back([this] {
                while (Batch* batch = take(true))
                    lookUpBatch(*batch);
            });
    } catch (const std::system_error&) {
        // No thread to spare: finish() looks up what the helpers there are leave.
    }
}

DateLookups::Batch* DateLookups::take(bool wait)
{
    std::unique_lock lock(m_mutex);
    if (wait)
        m_ready.wait(lock, [this] { return m_next < m_batches.size() || m_closed; });
    return m_next < m_batches.size() ? &m_batches[m_next++] : nullptr;
}

void DateLookups::lookUpBatch(Batch& batch) const
{
    batch.dates.resize(batch.indexes.size());
    const char* name = batch.names.c_str();
    for (std::optional<CreationDate>& date : batch.dates) {
        date = m_lookUp(name);
        name += std::char_traits<char>::length(name) + 1;
    }
}

void DateLookups::stopHelpers()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_ready.notify_all();
    for (std::thread& helper : m_helpers)
        helper.join();
    m_helpers.clear();
}

void DateLookups::finish(std::vector<std::optional<CreationDate>>& dates)
{
    if (!m_filling.indexes.empty()) {
        std::lock_guard lock(m_mutex);
        m_batches.push_back(std::move(m_filling));
        m_filling = {};
    }
    while (Batch* batch = take(false))
        lookUpBatch(*batch);
    stopHelpers();
    for (const Batch& batch : m_batches)
        for (std::size_t i = 0; i < batch.indexes.size(); ++i)
            dates[batch.indexes[i]] = batch.dates[i];
    m_batches.clear();
    m_next = 0;
}

} // namespace velorin

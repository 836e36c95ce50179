#include "UploadIndex.h"

namespace velorin {

std::shared_ptr<StoredName> UploadIndex::of(const std::string& name)
{
    std::lock_guard lock(m_mutex);
    if (const auto found = m_names.find(name); found != m_names.end()) {
        m_recent.splice(m_recent.begin(), m_recent, found->second.place);
        return found->second.stored;
    }
    // One still in use when it is left out stays with its upload; a later one reads the directory
    // afresh, and link() never lets the two take the same part.
    if (m_names.size() >= m_capacity) {
        m_names.erase(m_recent.back());
        m_recent.pop_back();
    }
    m_recent.push_front(name);
    auto stored = std::make_shared<StoredName>();
    m_names.emplace(name, Entry{stored, m_recent.begin()});
    return stored;
}

} // namespace velorin

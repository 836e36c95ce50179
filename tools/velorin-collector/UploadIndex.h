#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace velorin {

// What the files under one upload name hold: the part numbers of its regular files by the
// ContentKey of their bytes, and the first number not taken.
struct StoredName {
    std::mutex mutex;    // held while an upload of this name is named; other names go on meanwhile
    bool loaded = false; // read from the directory on first use
    unsigned long firstFree = 0;
    std::unordered_multimap<std::uint64_t, unsigned long> byContent;
};

// The StoredName of the names used most recently. A name left out is read from the directory again
// when next used, so that a flood of names costs bounded memory; the directory stays the record.
class UploadIndex {
public:
    explicit UploadIndex(std::size_t names = 1024) : m_capacity(names) {}

    std::shared_ptr<StoredName> of(const std::string& name);

private:
    using Recent = std::list<std::string>; // most recently used first

    struct Entry {
        std::shared_ptr<StoredName> stored;
        Recent::iterator place;
    };

    std::mutex m_mutex;
    std::size_t m_capacity;
    Recent m_recent;
    std::unordered_map<std::string, Entry> m_names;
};

} // namespace velorin

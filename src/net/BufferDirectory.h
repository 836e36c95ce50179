#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

class Files;
class Log;

// A directory of requests kept for a later try: "Buffer" for recording uploads, "EventBuffer" for
// marked events. Anyone may have put anything in it, so only plain files of a sane size are ever
// read, and only as their very names. A small value: completions keep their own copy.
class BufferDirectory {
public:
    // The collection server takes request bodies of up to 16 MiB; a kept file goes as Base64 (4 bytes
    // for 3) in a JSON body with a token and a name, so this is the most it may hold to be taken at
    // all. A chunk's upload is about 5 KB.
    static constexpr std::uint64_t largestRequestBody = std::uint64_t{16} << 20;
    static constexpr std::uint64_t maxFileBytes = (largestRequestBody - 4096) / 4 * 3;

    struct Entry {
        std::string name;
        std::string path;
    };

    // `suffix` ends every name kept here (".ecg" for uploads), before any "~N".
    BufferDirectory(Files& files, Log& log, std::string path, std::string suffix);

    const std::string& path() const { return m_path; }
    // Whether the directory itself (not a link to one) is there.
    bool present() const;
    // Creates the directory when missing. False, logged, when it cannot be had.
    bool ensure() const;
    // Keeps the bytes under `name`, written whole in one step; a name that is taken is never
    // replaced: the bytes go beside it as name~1, name~2, ... Returns the path, or nullopt, logged.
    std::optional<std::string> keep(const std::string& name, std::string_view bytes) const;
    // The entries worth a try, last name first. Empty files, huge files, directories, links, FIFOs and
    // unfinished writes are passed over, each logged once (`reported` remembers). Nothing when the
    // directory is missing or cannot be listed.
    std::vector<Entry> sendable(std::set<std::string>& reported) const;
    // The first entry worth a try, oldest name first; the rest are not looked at.
    std::optional<Entry> oldest(std::set<std::string>& reported) const;
    // A buffered file's bytes for sending; nullopt, logged, when it cannot be read whole, is empty or
    // is too large.
    std::optional<std::string> read(const Entry& entry) const;
    // Removes a delivered file; false, logged, when it stays.
    bool remove(const std::string& path) const;
    // The name a file was kept for: NAME for NAME~N.
    static std::string sentName(const std::string& name);

private:
    // The names in the directory, unsorted; empty, logged when it cannot be listed.
    std::vector<std::string> names() const;
    // Whether the entry is worth a try; logs why not, once for each name.
    bool worthATry(const std::string& name, std::set<std::string>& reported) const;
    std::optional<std::string> skipReason(const std::string& name) const;
    bool isKeptName(std::string_view name) const;

    Files* m_files;
    Log* m_log;
    std::string m_path;
    std::string m_label; // the directory's own name, for the log
    std::string m_suffix;
};

} // namespace velorin

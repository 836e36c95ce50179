#pragma once

#include "history/DateParts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

class Files;

// One look at the documents directory: its names, read once, and each file's creation date, read
// at most once. A catalogue action (a showing, a pick) rebuilds the picker and lists the table
// several times over, and a month of recordings is tens of thousands of files: listing and
// inspecting the directory afresh for each step, or for each action while the directory stays as
// it was, would cost several times what the screen can afford.
class CatalogueSnapshot {
public:
    struct Attributes {
        std::optional<double> creationDate; // absent: the file could not be inspected
        std::optional<DateParts> parts;     // absent with the date, or beyond the calendar
        bool birth = false;                 // the date is a birth time, which stays while the name does
    };

    // version: the directory's, taken before the listing, when the file system can vouch for one.
    // An unreadable directory counts as an empty one.
    CatalogueSnapshot(Files& files, std::string directory, std::optional<std::string> version);

    const std::string& directory() const { return m_directory; }
    const std::optional<std::string>& version() const { return m_version; }
    // Every name, in the order the directory gave them.
    const std::vector<std::string>& names() const { return m_names; }
    // Indexes into names() of those ending with the suffix, later names first (plain byte order).
    const std::vector<std::uint32_t>& endingWith(std::string_view suffix);
    const Attributes& attributes(std::uint32_t index);
    // Drops the dates that may have moved since they were read: modification times standing in
    // for birth times.
    void forgetChangeableDates();

private:
    struct Sorted {
        std::string suffix;
        std::vector<std::uint32_t> indexes;
    };

    Files& m_files;
    std::string m_directory;
    std::optional<std::string> m_version;
    std::vector<std::string> m_names;
    std::vector<std::optional<Attributes>> m_attributes;
    std::vector<Sorted> m_sorted;
};

} // namespace velorin

#pragma once

#include "history/DateParts.h"
#include "platform/Files.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// One look at the documents directory: its names, read once, and the creation dates of the files
// of a kind, read together once. A catalogue action (a showing, a pick) rebuilds the picker and
// lists the table several times over, and a month of recordings is tens of thousands of files:
// listing and inspecting the directory afresh for each step, or for each action while the
// directory stays as it was, would cost several times what the screen can afford.
class CatalogueSnapshot {
public:
    struct Attributes {
        std::optional<double> creationDate; // absent: the file could not be inspected
        std::optional<DateParts> parts;     // absent with the date, or beyond the calendar
        bool birth = false;                 // the date is a birth time, which stays while the name does
    };
    // The files whose names end with one suffix, later names first (plain byte order).
    struct Listing {
        std::string suffix;
        std::vector<std::uint32_t> indexes; // into names()
        std::vector<Attributes> attributes; // in the same order
    };

    // version: the directory's, taken before the listing, when the file system can vouch for one.
    // An unreadable directory counts as an empty one. The dates of the names ending with
    // datedSuffix are read with the names, for the listing every use of the catalogue starts with.
    CatalogueSnapshot(Files& files, std::string directory, std::optional<std::string> version,
                      std::string datedSuffix);

    const std::string& directory() const { return m_directory; }
    const std::optional<std::string>& version() const { return m_version; }
    // Every name, in the order the directory gave them.
    const std::vector<std::string>& names() const { return m_names; }
    const Listing& endingWith(std::string_view suffix);
    // Reads again the dates that may have moved since they were read: modification times standing
    // in for birth times, and those that could not be read.
    void refreshChangeableDates();

private:
    void readAttributes(Listing& listing, const std::vector<std::size_t>& positions);

    Files& m_files;
    std::string m_directory;
    std::optional<std::string> m_version;
    std::vector<std::string> m_names;
    std::string m_datedSuffix;
    std::vector<std::optional<CreationDate>> m_datesReadWithNames; // one per name, until listed
    std::deque<Listing> m_listings; // stays in place as more are added
};

} // namespace velorin

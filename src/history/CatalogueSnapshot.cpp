#include "history/CatalogueSnapshot.h"

#include "platform/Files.h"

#include <algorithm>

namespace velorin {

namespace {

// The first eight bytes from `at`, as a number that orders as the bytes do.
std::uint64_t orderKey(const std::string& name, std::size_t at)
{
    std::uint64_t key = 0;
    for (std::size_t i = at; i < at + 8; ++i)
        key = key << 8 | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0u);
    return key;
}

CatalogueSnapshot::Attributes attributesOf(const std::optional<CreationDate>& date)
{
    CatalogueSnapshot::Attributes read;
    if (date) {
        read.creationDate = date->seconds;
        read.birth = date->birth;
        read.parts = localDateParts(date->seconds);
    }
    return read;
}

} // namespace

CatalogueSnapshot::CatalogueSnapshot(Files& files, std::string directory, std::optional<std::string> version,
                                     std::string datedSuffix)
    : m_files(files), m_directory(std::move(directory)), m_version(std::move(version)),
      m_datedSuffix(std::move(datedSuffix))
{
    if (!m_files.listDirectoryWithDates(m_directory, m_datedSuffix, m_names, m_datesReadWithNames).ok) {
        m_names.clear();
        m_datesReadWithNames.clear();
        m_version.reset();
    }
}

const CatalogueSnapshot::Listing& CatalogueSnapshot::endingWith(std::string_view suffix)
{
    for (const Listing& listing : m_listings)
        if (listing.suffix == suffix)
            return listing;
    // Stamp names share long beginnings; comparing their first sixteen bytes as two numbers
    // settles nearly every comparison without reaching into the strings. Dates read with the names
    // travel with them: looked up by name after sorting, they would be fetched in random order.
    const bool datesRead = suffix == m_datedSuffix && m_datesReadWithNames.size() == m_names.size();
    struct Keyed {
        std::uint64_t high, low;
        std::uint32_t index;
        std::optional<CreationDate> date;
    };
    std::vector<Keyed> keyed;
    for (std::uint32_t i = 0; i < m_names.size(); ++i)
        if (std::string_view(m_names[i]).ends_with(suffix))
            keyed.push_back({orderKey(m_names[i], 0), orderKey(m_names[i], 8), i,
                             datesRead ? m_datesReadWithNames[i] : std::nullopt});
    if (datesRead)
        m_datesReadWithNames = {};
    std::sort(keyed.begin(), keyed.end(), [this](const Keyed& a, const Keyed& b) {
        if (a.high != b.high)
            return a.high > b.high;
        if (a.low != b.low)
            return a.low > b.low;
        return m_names[a.index] > m_names[b.index];
    });
    Listing listing{std::string(suffix), {}, std::vector<Attributes>(keyed.size())};
    listing.indexes.reserve(keyed.size());
    for (const Keyed& k : keyed)
        listing.indexes.push_back(k.index);
    if (datesRead) {
        for (std::size_t i = 0; i < keyed.size(); ++i)
            listing.attributes[i] = attributesOf(keyed[i].date);
    } else {
        std::vector<std::size_t> all(keyed.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = i;
        // Every use of a listing looks at every file's date, so they are all read at once.
        readAttributes(listing, all);
    }
    m_listings.push_back(std::move(listing));
    return m_listings.back();
}

void CatalogueSnapshot::readAttributes(Listing& listing, const std::vector<std::size_t>& positions)
{
    std::vector<const std::string*> names;
    names.reserve(positions.size());
    for (std::size_t position : positions)
        names.push_back(&m_names[listing.indexes[position]]);
    std::vector<std::optional<CreationDate>> dates;
    m_files.creationDates(m_directory, names, dates);
    for (std::size_t i = 0; i < positions.size(); ++i)
        listing.attributes[positions[i]] = i < dates.size() ? attributesOf(dates[i]) : Attributes{};
}

void CatalogueSnapshot::refreshChangeableDates()
{
    for (Listing& listing : m_listings) {
        std::vector<std::size_t> changeable;
        for (std::size_t i = 0; i < listing.attributes.size(); ++i)
            if (!listing.attributes[i].birth)
                changeable.push_back(i);
        if (!changeable.empty())
            readAttributes(listing, changeable);
    }
}

} // namespace velorin

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

} // namespace

CatalogueSnapshot::CatalogueSnapshot(Files& files, std::string directory, std::optional<std::string> version)
    : m_files(files), m_directory(std::move(directory)), m_version(std::move(version))
{
    if (!m_files.listDirectory(m_directory, m_names).ok) {
        m_names.clear();
        m_version.reset();
    }
    m_attributes.resize(m_names.size());
}

const std::vector<std::uint32_t>& CatalogueSnapshot::endingWith(std::string_view suffix)
{
    for (const Sorted& sorted : m_sorted)
        if (sorted.suffix == suffix)
            return sorted.indexes;
    // Stamp names share long beginnings; comparing their first sixteen bytes as two numbers
    // settles nearly every comparison without reaching into the strings.
    struct Keyed {
        std::uint64_t high, low;
        std::uint32_t index;
    };
    std::vector<Keyed> keyed;
    for (std::uint32_t i = 0; i < m_names.size(); ++i)
        if (std::string_view(m_names[i]).ends_with(suffix))
            keyed.push_back({orderKey(m_names[i], 0), orderKey(m_names[i], 8), i});
    std::sort(keyed.begin(), keyed.end(), [this](const Keyed& a, const Keyed& b) {
        if (a.high != b.high)
            return a.high > b.high;
        if (a.low != b.low)
            return a.low > b.low;
        return m_names[a.index] > m_names[b.index];
    });
    Sorted sorted{std::string(suffix), {}};
    sorted.indexes.reserve(keyed.size());
    for (const Keyed& k : keyed)
        sorted.indexes.push_back(k.index);
    m_sorted.push_back(std::move(sorted));
    return m_sorted.back().indexes;
}

const CatalogueSnapshot::Attributes& CatalogueSnapshot::attributes(std::uint32_t index)
{
    std::optional<Attributes>& cached = m_attributes[index];
    if (!cached) {
        Attributes read;
        if (const auto date = m_files.creationDate(m_directory + "/" + m_names[index])) {
            read.creationDate = date->seconds;
            read.birth = date->birth;
            read.parts = localDateParts(date->seconds);
        }
        cached = read;
    }
    return *cached;
}

void CatalogueSnapshot::forgetChangeableDates()
{
    for (std::optional<Attributes>& cached : m_attributes)
        if (cached && !cached->birth)
            cached.reset();
}

} // namespace velorin

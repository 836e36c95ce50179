#include "sensor/BTLEDevices.h"

#include "settings/SettingsKeys.h"

namespace velorin {

namespace {

// The first n characters, never cutting a UTF-8 sequence (identifiers are ASCII, but an adapter's
// text is not ours to trust).
std::string firstCharacters(const std::string& text, std::size_t n)
{
    std::size_t end = 0, count = 0;
    while (end < text.size()) {
        const bool continuation = (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
        if (!continuation && count++ == n)
            break;
        ++end;
    }
    return text.substr(0, end);
}

} // namespace

bool BTLEDevices::contains(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    return m_keys.contains(key);
}

bool BTLEDevices::add(std::string key, std::string label)
{
    std::lock_guard lock(m_mutex);
    if (!m_keys.insert(key).second)
        return false;
    m_entries.push_back({std::move(key), std::move(label)});
    return true;
}

std::vector<BTLEDevices::Entry> BTLEDevices::entries() const
{
    std::lock_guard lock(m_mutex);
    return m_entries;
}

std::size_t BTLEDevices::size() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

std::string sensorLabel(const std::string& key, int rssi, bool remembered, const std::string& ownerName)
{
    // BlueZ, like the platforms before it, knows 0 as no figure at all.
    const std::string strength = rssi == 0 ? std::string("no signal figure") : std::to_string(rssi) + "dB";
    if (remembered)
        return (ownerName.empty() ? std::string(defaults::sensorOwner) : ownerName) + "'s sensor  " + strength;
    return firstCharacters(key, 13) + "...  " + strength;
}

} // namespace velorin

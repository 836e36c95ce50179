#pragma once

#include <mutex>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace velorin {

// The sensors found in this run, each under the label it got when first seen. Discovery adds on
// the Bluetooth queue while the sensor list reads on the main queue, so every access takes the lock.
// Entries are never changed or removed, and they keep the order in which they were found, so the
// list's buttons stay in a stable order.
class BTLEDevices {
public:
    struct Entry {
        std::string key; // the platform's identifier of the sensor
        std::string label;
    };

    bool contains(const std::string& key) const;
    // Adds the entry unless the key is already there; true when it was added.
    bool add(std::string key, std::string label);
    std::vector<Entry> entries() const;
    std::size_t size() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
    std::unordered_set<std::string> m_keys;
};

// The label of a found sensor: the remembered one is named after its owner ("Ann's sensor  -60dB",
// "Your" when no name is set), any other by the start of its identifier ("4F2C8A1B-0D3E...  -71dB").
std::string sensorLabel(const std::string& key, int rssi, bool remembered, const std::string& ownerName);

} // namespace velorin

#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace velorin {

namespace profile {
// The two characteristics whose values the signal path takes in; the rest of what the sensor offers
// is in sensor/SensorProfile.h. 16-bit UUIDs, upper case.
inline constexpr std::string_view ecgPacket = "2A37";
inline constexpr std::string_view batteryLevel = "2A19";
} // namespace profile

// Receives the sensor's value updates. Called on the Bluetooth queue, one update at a time.
class SensorDelegate {
public:
    virtual ~SensorDelegate() = default;
    // characteristic: the 16-bit UUID in upper-case hex ("2A37"); error: empty when there is none.
    virtual void peripheralDidUpdateValueForCharacteristic(std::string_view characteristic,
                                                           std::span<const std::uint8_t> value,
                                                           std::string_view error) = 0;
};

} // namespace velorin

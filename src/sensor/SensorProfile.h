#pragma once

#include "signal/SensorDelegate.h" // the ECG packet and battery level characteristics

#include <cstddef>
#include <string>
#include <string_view>

namespace velorin::profile {

// What the system sends to and reads from the chest sensor. UUIDs are 16-bit short forms, upper case.
inline constexpr std::string_view localName = "Nimbo";
inline constexpr std::string_view heartRateService = "180D";
inline constexpr std::string_view bodySensorLocation = "2A38";
inline constexpr std::string_view controlPoint = "2A39";
inline constexpr std::string_view deviceInformationService = "180A";
inline constexpr std::string_view manufacturerName = "2A29";
inline constexpr std::string_view batteryService = "180F";

// Only an advertiser named exactly "Nimbo" is a sensor of ours (case-sensitive, nothing more).
inline bool isSensorName(std::string_view advertisedName)
{
    return advertisedName == localName;
}

// The control point takes at most 20 bytes: the two command bytes and a pin of up to 18 bytes.
inline constexpr std::size_t maxPinBytes = 18;

// The one value ever written to the sensor: 0x07 0x04, then the pin's UTF-8 bytes, no terminator.
inline std::string controlPointValue(std::string_view pin)
{
    std::string value("\x07\x04", 2);
    value.append(pin);
    return value;
}

} // namespace velorin::profile

#pragma once

#include <optional>

namespace velorin {

// A moment's calendar fields in the device's local time zone; the year is left out on purpose,
// recordings of the same month in different years fall together.
struct DateParts {
    int month = 0; // 1..12
    int day = 0;   // 1..31
    int hour = 0;  // 0..23
    int minute = 0;
};

// nullopt for a moment the local calendar cannot place (far beyond any year it counts).
std::optional<DateParts> localDateParts(double epochSeconds);

} // namespace velorin

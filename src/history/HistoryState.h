#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// One row of the catalogue's table.
struct HistoryEntry {
    std::string name;                   // the bare file name, without the directory
    std::optional<double> creationDate; // seconds since the epoch; absent when it could not be read
};

// The catalogue's selection and lists. One object lives as long as the process (the composition
// root owns it) and every catalogue screen shares it, so a choice outlives each showing.
struct HistoryState {
    std::int32_t selectedMonth = 0;  // 1..12, 0 = none
    std::int32_t selectedDay = 0;    // 1..31, 0 = none
    std::int32_t selectedHour = 0;   // 1..23, 0 = none: midnight cannot be chosen as an hour
    std::int32_t selectedMinute = 0; // 1..59, 0 = none
    std::int32_t eventsMode = 0;     // 1: the next listing lists event files, and clears it
    std::vector<std::int32_t> monthList;
    std::vector<std::int32_t> dayList;
    std::vector<std::int32_t> hourList;
    std::vector<std::int32_t> minuteList;
    std::vector<HistoryEntry> fileList;
};

} // namespace velorin

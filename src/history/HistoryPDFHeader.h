#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velorin {

class Files;
class SettingsStore;

// The report's header, in the order changeNameAndDate takes it.
struct HistoryPDFHeader {
    std::string name;
    std::string dateTime;
    std::string age;
    std::string gender;
    std::string weight;
    std::string logo; // a file URL, or empty
};

// The date and time a file's name carries: "2015-03-07_142530.ecg" gives "2015.03.07 14:25:30";
// whatever follows the time in an event file's name follows it here too. A name that is no stamp
// (no "_", or fewer than four characters after it) gives its first piece and no time.
std::string reportDateTime(const std::string& fileName);

// name, age and weight as stored, whatever their type; gender 0 reads "Male.", any other value
// "Female."; an absent key gives the screen's placeholder. The logo only when the file is there.
// The profile's gender as both the PDF and the EDF read it: 0 male, 1 for any other whole number
// (female), also when a hand-edited file holds it as text ("0", "+1", "1.0"); nothing when unset or
// not a whole number.
std::optional<std::int64_t> storedGender(const SettingsStore& settings);

HistoryPDFHeader reportHeader(const SettingsStore& settings, Files& files, const std::string& documentsDirectory,
                              const std::string& fileName);

// "file://" and the path, with every byte a URL cannot hold as it is written as %XX, so that a
// documents directory with a blank, "#" or "?" in its name still names the file.
std::string fileUrl(const std::string& path);

} // namespace velorin

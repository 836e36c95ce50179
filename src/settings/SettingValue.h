#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace velorin {

// A point in time, seconds since the Unix epoch (UTC). Kept to whole milliseconds by the store,
// since that is all the file keeps.
struct SettingDate {
    double epochSeconds;
    bool operator==(const SettingDate&) const = default;
};

// The alternatives are in SettingType order, so a value's index() is its type.
using SettingValue = std::variant<std::string, bool, float, std::int64_t, SettingDate, std::vector<std::string>>;

enum class SettingType { Text, Boolean, Float, Integer, Date, TextArray };

inline SettingType settingType(const SettingValue& value)
{
    return static_cast<SettingType>(value.index());
}

static_assert(std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(SettingType::Float), SettingValue>, float>);
static_assert(std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(SettingType::TextArray), SettingValue>,
                             std::vector<std::string>>);

} // namespace velorin

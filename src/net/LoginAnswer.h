#pragma once

#include "settings/SettingValue.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// The members of an accepted login answer, checked before anything is stored. An absent member and
// one that is JSON null are both empty here, and empty removes its setting.
struct LoginAnswer {
    std::optional<std::string> statusMessage;
    std::optional<SettingValue> id; // text or integer; without it the login stores nothing
    std::optional<std::string> token;
    std::optional<std::vector<std::string>> fileServers;
    std::optional<std::string> collectionServer;
    std::optional<std::string> vuApiKey;

    // More addresses than any server needs; a longer list would make the settings file one that
    // no longer loads.
    static constexpr std::size_t maxFileServers = 1000;

    // Throws std::runtime_error naming the member when one has the wrong type, so that no setting
    // ever receives a value of another type than its readers expect. `body` is the text the object
    // was parsed from: a numeric Id is taken from its digits there, never through a double.
    static LoginAnswer read(const nlohmann::json& object, std::string_view body = {});
};

} // namespace velorin

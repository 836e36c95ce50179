#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velorin {

// One value update to play back: `at` seconds after the replay starts.
struct ReplayUpdate {
    double at = 0;
    std::string characteristic; // 16-bit UUID, upper-case hex
    std::vector<std::uint8_t> value;

    bool operator==(const ReplayUpdate&) const = default;
};

// Why a replay file cannot be played. A packet log error has a 1-based line; a stream file error has
// a byte offset; an error about the file as a whole has neither and its message names the file.
struct ReplayError {
    std::string file;
    int line = 0;
    std::string message;
    std::optional<std::size_t> offset;

    bool operator==(const ReplayError&) const = default;
};

using ReplayResult = std::variant<std::vector<ReplayUpdate>, ReplayError>;

// The text shown to the user: "FILE:LINE: MESSAGE", "FILE: byte OFFSET: MESSAGE", or the bare message.
std::string describe(const ReplayError& error);

} // namespace velorin

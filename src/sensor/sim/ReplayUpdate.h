#pragma once

#include "platform/Seconds.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velorin {

// One value update to play back: `at` after the replay starts.
struct ReplayUpdate {
    Nanoseconds at{0};
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

// The text shown to the user: "FILE:LINE: MESSAGE", "FILE: byte OFFSET: MESSAGE", or the bare message.
// The fields hold the input's raw bytes; control bytes and NULs in them are shown escaped ("\x00") here.
std::string describe(const ReplayError& error);

// Updates read one at a time from a file, so that a replay of any length holds only the update in
// hand: a long replay is checked in a first pass and read again as it plays.
class ReplaySource {
public:
    virtual ~ReplaySource() = default;
    // The next update in file order, or nothing at the end of the file or at the first problem,
    // which error() then holds.
    virtual std::optional<ReplayUpdate> next() = 0;
    virtual const std::optional<ReplayError>& error() const = 0;
};

// Every update of a source, or its first problem. For tests and small files.
using ReplayResult = std::variant<std::vector<ReplayUpdate>, ReplayError>;
ReplayResult readAllUpdates(ReplaySource& source);

} // namespace velorin

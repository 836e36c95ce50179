#pragma once

#include "platform/Files.h"
#include "sensor/sim/ReplayUpdate.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Whether a replay file is a recording stream file (named "*.s2" or "*.S2") rather than a packet log.
bool isStreamFileName(std::string_view path);

// Opens a replay file for reading from its first update: a recording stream file or a packet log,
// by its name. A file that cannot be opened, or is not a regular file (a FIFO, a device, a
// directory), gives nothing and sets `error` to "cannot read PATH: REASON" without waiting on it.
std::unique_ptr<ReplaySource> openReplay(Files& files, const std::string& path, ReplayError& error);

// Reads a replay file through once, holding one update at a time, and gives its first problem.
// Checking first lets a malformed replay stop a run before anything has been written. A long check
// gives up, with no problem, as soon as `stopped` says so (a signal to end the run).
std::optional<ReplayError> checkReplay(Files& files, const std::string& path,
                                       const std::function<bool()>& stopped = {});

// Opens the file afresh on every call, for a replay that is played from the start more than once.
// When the file cannot be opened, the source has no updates and its error() tells why.
std::function<std::unique_ptr<ReplaySource>()> replayOpener(Files& files, std::string path);

} // namespace velorin

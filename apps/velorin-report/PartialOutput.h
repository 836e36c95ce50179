#pragma once

#include <string>

namespace velorin {

// The temporary file an output is being written to, removed when SIGINT, SIGTERM or SIGHUP ends the
// tool before it is renamed into place, so an interrupted export leaves nothing behind. The signal
// then ends the tool as it would have without us. An empty path: nothing is being written.
void removeOnStop(const std::string& path);

} // namespace velorin

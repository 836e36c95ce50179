#pragma once

#include "RecorderOptions.h"

namespace velorin {

// velorin-record login: signs in as the login screen does and stores what the service hands out.
// Returns the exit status: 0 when a patient identifier was stored, 1 otherwise. A byte on signalFd
// (when not -1) ends the login early.
int runLoginCommand(const LoginOptions& options, int signalFd, int argc, char** argv);

} // namespace velorin

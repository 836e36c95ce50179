#pragma once

namespace velorin {

// SIGINT, SIGTERM and SIGHUP (a closed terminal) ask the program to end its run cleanly. Each is
// turned into a flag and a byte on a non-blocking pipe, so that an event loop can watch the pipe and
// the handler never waits. Installed once, at the start of main.
void installStopSignals();
// True once one of them arrived. Safe from any thread.
bool stopSignalled();
// The pipe's end to watch; -1 when no pipe could be made (the flag still works).
int stopSignalFd();

} // namespace velorin

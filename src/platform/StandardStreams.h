#pragma once

namespace velorin {

// A standard stream closed when a program starts would be taken by the next descriptor it opens (a
// pipe, a lock file, a client's connection), and its output would go there. Each closed one is
// opened on /dev/null instead. Call first thing in main().
void openClosedStandardStreams();

} // namespace velorin

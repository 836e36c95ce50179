#pragma once

#include <string>

namespace velorin {

// $HOME, else the home of the password database; empty when there is none. The root is no home,
// however it is spelt ("/.", "/tmp/..", a link to it): defaults under it would put our folders at
// the top of the file system.
std::string homeDirectory();

// $XDG_DOCUMENTS_DIR when it is an absolute path other than the root; else empty.
std::string xdgDocumentsDirectory();

} // namespace velorin

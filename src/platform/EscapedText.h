#pragma once

#include <string>
#include <string_view>

namespace velorin {

// Text fit for a terminal: control bytes, DEL and bytes that are not UTF-8 as \xHH; backslash as \\.
std::string escapeControl(std::string_view text);

} // namespace velorin

#pragma once

#include <string>
#include <string_view>

namespace velorin {

// Text fit for a terminal: control bytes, DEL and bytes that are not UTF-8 become \xHH (lower-case hex);
// everything else stays, a backslash included, so escaping twice changes nothing. Used where input
// may reach a terminal: messages, log lines, the console.
std::string escapeControl(std::string_view text);

} // namespace velorin

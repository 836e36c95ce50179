#pragma once

#include <string>
#include <string_view>

namespace velorin {

// Text taken from an input (a line, a word, a file name) made safe to print in a message: a
// terminal never receives a control byte from it and a C string never ends early at a NUL inside it.
//
// Valid UTF-8 is kept as it is. Each byte below 0x20, 0x7F, each byte that is not part of a valid
// UTF-8 sequence, and each byte of a C1 control (U+0080 to U+009F, which some terminals obey as
// escape sequences) is shown as \xHH with two upper-case hex digits, like the hex elsewhere in
// Velorin ("\x00", "\x1B", "\xFF"). A backslash is shown as \\, so every escaped text reads back
// to exactly the bytes it came from.
std::string escapeControl(std::string_view text);

} // namespace velorin

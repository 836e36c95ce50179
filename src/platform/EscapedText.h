#pragma once

#include <string>
#include <string_view>

namespace velorin {

// Text taken from an input (a line, a word, a file name) made safe to print in a message: a
// terminal never receives a control byte from it and a C string never ends early at a NUL inside it.
//
// Valid UTF-8 is kept as it is. Each byte below 0x20, 0x7F, each byte that is not part of a valid
// UTF-8 sequence, and each byte of a C1 control (U+0080 to U+009F, which some terminals obey as
// escape sequences) and of an invisible formatting character (direction overrides such as U+202E,
// line separators, zero-width marks, soft hyphens, variation selectors, tags) is shown as \xHH with two upper-case hex digits, like the hex elsewhere in
// Velorin ("\x00", "\x1B", "\xFF"). Everything else stays, a backslash included, so escaping twice
// changes nothing: messages are escaped where they are made and again where they reach a terminal
// (the log, the console), and neither can spoil the other.
std::string escapeControl(std::string_view text);

// Text files written by some editors begin with the UTF-8 byte order mark; it is no part of the text.
inline std::string_view withoutByteOrderMark(std::string_view text)
{
    return text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text;
}

} // namespace velorin

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Standard Base64: the RFC 4648 alphabet with "=" padding and no line breaks, as uploads carry it.
std::string encodeBase64(std::string_view bytes);

// Reads Base64 strictly: the length is a multiple of four, padding only at the very end, no other
// characters (no URL alphabet, no white space) and no stray bits in the last group. A lenient reader
// would store something the sender never meant; a strict one tells the sender its encoder is wrong.
std::optional<std::string> decodeBase64(std::string_view text);

} // namespace velorin

#include "platform/EscapedText.h"

#include <cstdint>

namespace velorin {

namespace {

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence of a printable character at `at`, or 0. Overlong forms,
// surrogates and code points past U+10FFFF are not valid UTF-8.
std::size_t printableSequence(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead >= 0x20 && lead < 0x7F)
        return 1;
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    std::uint32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(byte(i)))
            return 0;
        codePoint = codePoint << 6 | (byte(i) & 0x3F);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    if (codePoint <= 0x9F)
        return 0; // a C1 control
    // Invisible characters that reorder or break the text around them (direction overrides, line
    // separators, zero-width marks) would let an input disguise the message it stands in.
    const auto within = [&](std::uint32_t low, std::uint32_t high) { return codePoint >= low && codePoint <= high; };
    if (codePoint == 0x00AD || within(0x0600, 0x0605) || codePoint == 0x061C || codePoint == 0x06DD ||
        codePoint == 0x070F || codePoint == 0x08E2 || codePoint == 0x180E || within(0x200B, 0x200F) ||
        within(0x2028, 0x202E) || within(0x2060, 0x206F) || within(0xFE00, 0xFE0F) || codePoint == 0xFEFF ||
        within(0xFFF9, 0xFFFB) || codePoint == 0x110BD || codePoint == 0x110CD || within(0x1BCA0, 0x1BCA3) ||
        within(0x1D173, 0x1D17A) || within(0xE0000, 0xE0FFF))
        return 0;
    return length;
}

} // namespace

std::string escapeControl(std::string_view text)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        if (const std::size_t length = printableSequence(text, at)) {
            shown.append(text, at, length);
            at += length;
        } else {
            // Only this byte: the ones after it may begin a valid character of their own.
            const auto byte = static_cast<unsigned char>(text[at]);
            shown += "\\x";
            shown += digits[byte >> 4];
            shown += digits[byte & 0x0F];
            ++at;
        }
    }
    return shown;
}

} // namespace velorin

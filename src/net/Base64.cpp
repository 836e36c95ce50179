#include "net/Base64.h"

#include <array>
#include <cstdint>

namespace velorin {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Each character's six bits, or -1 for a character outside the alphabet.
constexpr std::array<std::int8_t, 256> sextets = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
    return table;
}();

} // namespace

std::string encodeBase64(std::string_view bytes)
{
    std::string text((bytes.size() + 2) / 3 * 4, '=');
    char* out = text.data();
    for (std::size_t i = 0; i < bytes.size(); i += 3, out += 4) {
        const std::size_t left = bytes.size() - i;
        std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
        if (left > 1)
            group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        if (left > 2)
            group |= static_cast<std::uint8_t>(bytes[i + 2]);
        out[0] = alphabet[group >> 18 & 63];
        out[1] = alphabet[group >> 12 & 63];
        if (left > 1)
            out[2] = alphabet[group >> 6 & 63];
        if (left > 2)
            out[3] = alphabet[group & 63];
    }
    return text;
}

std::optional<std::string> decodeBase64(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string bytes(text.size() / 4 * 3, '\0');
    char* out = bytes.data();
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool lastGroup = i + 4 == text.size();
        std::uint32_t group = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=') {
                // At most two, and only at the end of the last group.
                if (!lastGroup || k < 2)
                    return std::nullopt;
                ++padding;
                group <<= 6;
                continue;
            }
            const int value = sextets[static_cast<unsigned char>(c)];
            if (value < 0 || padding > 0)
                return std::nullopt;
            group = group << 6 | static_cast<std::uint32_t>(value);
        }
        // Bits that padding leaves over must be zero, or two texts would decode to the same bytes.
        if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0))
            return std::nullopt;
        *out++ = static_cast<char>(group >> 16 & 0xFF);
        if (padding < 2)
            *out++ = static_cast<char>(group >> 8 & 0xFF);
        if (padding < 1)
            *out++ = static_cast<char>(group & 0xFF);
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
}

} // namespace velorin

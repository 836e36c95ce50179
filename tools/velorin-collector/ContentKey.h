#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// A 64-bit key of a file's bytes, the same whether they are in memory or read from disk, so that
// stored files can be told apart without reading them again. Equal keys say only "maybe the same":
// the bytes themselves decide.
class ContentKey {
public:
    static std::uint64_t of(std::string_view bytes);
    // Of the regular file at path; nothing when there is none (a link is not followed, a FIFO is not
    // waited on) or it cannot be read.
    static std::optional<std::uint64_t> ofFile(const std::string& path);
};

} // namespace velorin

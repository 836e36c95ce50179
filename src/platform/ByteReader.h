#pragma once

#include "platform/Files.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace velorin {

// Bytes read in order from a regular file or, in tests, from memory.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads up to `size` bytes into `into` and returns how many; 0 at the end of the bytes or on a
    // failure, which then sets `result` (left untouched otherwise).
    virtual std::size_t read(char* into, std::size_t size, FileResult& result) = 0;
};

class StringReader : public ByteReader {
public:
    explicit StringReader(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::size_t read(char* into, std::size_t size, FileResult&) override
    {
        const std::size_t n = std::min(size, m_bytes.size() - m_at);
        std::copy_n(m_bytes.data() + m_at, n, into);
        m_at += n;
        return n;
    }

private:
    std::string m_bytes;
    std::size_t m_at = 0;
};

} // namespace velorin

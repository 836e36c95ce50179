#pragma once

#include "platform/ByteReader.h"

#include <algorithm>
#include <functional>
#include <string>

namespace velorin::test {

// Bytes in memory handed out in pieces of the sizes `chunk` chooses (1 for a byte at a time), the
// way a pipe or a slow disk may return them.
class ChunkedReader : public ByteReader {
public:
    ChunkedReader(std::string bytes, std::function<std::size_t()> chunk)
        : m_bytes(std::move(bytes)), m_chunk(std::move(chunk))
    {
    }
    std::size_t read(char* into, std::size_t size, FileResult&) override
    {
        const std::size_t n = std::min({size, std::max<std::size_t>(m_chunk(), 1), m_bytes.size() - m_at});
        std::copy_n(m_bytes.data() + m_at, n, into);
        m_at += n;
        return n;
    }

private:
    std::string m_bytes;
    std::function<std::size_t()> m_chunk;
    std::size_t m_at = 0;
};

} // namespace velorin::test

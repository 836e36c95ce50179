#include "ContentKey.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace velorin {

namespace {

// Bytes are keyed in blocks of this size, so a file read block by block gives the key its bytes
// give in memory.
constexpr std::size_t blockBytes = std::size_t{64} << 10;

class Mixer {
public:
    void add(std::string_view block)
    {
        m_state = (m_state ^ std::hash<std::string_view>{}(block)) * 0x9e3779b97f4a7c15ULL;
        m_size += block.size();
    }
    std::uint64_t value() const { return m_state ^ (m_size * 0xff51afd7ed558ccdULL); }

private:
    std::uint64_t m_state = 0xcbf29ce484222325ULL;
    std::uint64_t m_size = 0;
};

// Fills the block unless the file ends first; -1 on an error.
ssize_t readBlock(int fd, char* block)
{
    std::size_t got = 0;
    while (got < blockBytes) {
        const ssize_t n = ::read(fd, block + got, blockBytes - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

} // namespace

std::uint64_t ContentKey::of(std::string_view bytes)
{
    Mixer mixer;
    while (!bytes.empty()) {
        const std::string_view block = bytes.substr(0, blockBytes);
        mixer.add(block);
        bytes.remove_prefix(block.size());
    }
    return mixer.value();
}

std::optional<std::uint64_t> ContentKey::ofFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<std::uint64_t> key;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        Mixer mixer;
        std::string block(blockBytes, '\0');
        ssize_t n = 0;
        while ((n = readBlock(fd, block.data())) > 0)
            mixer.add(std::string_view(block.data(), static_cast<std::size_t>(n)));
        if (n == 0)
            key = mixer.value();
    }
    ::close(fd);
    return key;
}

} // namespace velorin

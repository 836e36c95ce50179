#include "platform/DirectoryLock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velorin {

namespace {

long readHolder(int fd)
{
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return end != text && pid > 0 ? pid : 0;
}

} // namespace

DirectoryLock::DirectoryLock(const std::string& directory)
{
    const std::string path = directory + "/" + fileName;
    constexpr int common = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | common, 0644);
    // A read-only directory that already holds the lock file still serves to find out whether
    // another recorder is at work in it.
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        fd = ::open(path.c_str(), O_RDONLY | common);
        if (fd < 0 && errno == ENOENT) {
            m_state = State::readOnly;
            m_problem = "cannot create " + path + ": the directory is read-only";
            return;
        }
    }
    if (fd < 0) {
        m_problem = errno == ELOOP || errno == ENXIO ? path + " is not a regular file"
                                                     : "cannot open " + path + ": " + std::strerror(errno);
        return;
    }
    // Anything but our own plain file there (a directory, a FIFO, a second name of some other
    // file) is refused: locking it would protect nothing, and writing the pid could harm it.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
        m_problem = path + (S_ISREG(st.st_mode) ? " has other names (hard links)" : " is not a regular file");
        ::close(fd);
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            m_state = State::busy;
            // The holder writes its id just after it takes the lock; give it a moment to do so.
            for (int attempt = 0; attempt < 50 && (m_holder = readHolder(fd)) == 0; ++attempt)
                ::usleep(2000);
        } else {
            m_problem = "cannot lock " + path + ": " + std::strerror(errno);
        }
        ::close(fd);
        return;
    }
    m_fd = fd;
    m_state = State::held;
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size()))
        m_problem = "cannot write the process id into " + path; // the lock holds all the same
}

DirectoryLock::~DirectoryLock()
{
    // The file stays: removing it would let a third process lock a new file while a second one
    // still waits on the old.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace velorin

#include "platform/PosixFiles.h"

#include "platform/ByteReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velorin {

namespace {

FileResult errnoFailure(const char* what)
{
    return FileResult::failure(std::string(what) + ": " + std::strerror(errno));
}

// Writes all bytes, resuming after short writes and interrupted calls.
bool writeFully(int fd, std::string_view bytes)
{
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

class PosixAppendFile : public AppendFile {
public:
    PosixAppendFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~PosixAppendFile() override { ::close(m_fd); }

    FileResult append(std::string_view bytes) override
    {
        if (!writeFully(m_fd, bytes))
            return errnoFailure("cannot write");
        return FileResult::success();
    }

    bool stillNamed() override
    {
        struct stat open {}, named {};
        return ::fstat(m_fd, &open) == 0 && ::stat(m_path.c_str(), &named) == 0 && open.st_ino == named.st_ino &&
               open.st_dev == named.st_dev;
    }

private:
    int m_fd;
    std::string m_path;
};

} // namespace

std::unique_ptr<AppendFile> PosixFiles::openAppend(const std::string& path, FileResult& result)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        result = errnoFailure("cannot open");
        return nullptr;
    }
    result = FileResult::success();
    return std::make_unique<PosixAppendFile>(fd, path);
}

bool PosixFiles::exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

FileResult PosixFiles::writeAtomically(const std::string& path, std::string_view bytes, unsigned mode, bool durable)
{
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return errnoFailure("cannot create temporary file");
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0 || !writeFully(fd, bytes) || (durable && ::fsync(fd) != 0)) {
        FileResult failure = errnoFailure("cannot write");
        ::close(fd);
        ::unlink(temp.c_str());
        return failure;
    }
    if (::close(fd) != 0) {
        FileResult failure = errnoFailure("cannot close");
        ::unlink(temp.c_str());
        return failure;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        FileResult failure = errnoFailure("cannot rename");
        ::unlink(temp.c_str());
        return failure;
    }
    return FileResult::success();
}

FileResult PosixFiles::append(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return errnoFailure("cannot open");
    if (!writeFully(fd, bytes)) {
        FileResult failure = errnoFailure("cannot write");
        ::close(fd);
        return failure;
    }
    if (::close(fd) != 0)
        return errnoFailure("cannot close");
    return FileResult::success();
}

namespace {

class PosixReader : public ByteReader {
public:
    explicit PosixReader(int fd) : m_fd(fd) {}
    ~PosixReader() override { ::close(m_fd); }
    std::size_t read(char* into, std::size_t size, FileResult& result) override
    {
        for (;;) {
            const ssize_t n = ::read(m_fd, into, size);
            if (n >= 0)
                return static_cast<std::size_t>(n);
            if (errno != EINTR) {
                result = errnoFailure("cannot read");
                return 0;
            }
        }
    }

private:
    int m_fd;
};

} // namespace

std::unique_ptr<ByteReader> PosixFiles::openForReading(const std::string& path, FileResult& result)
{
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; it is refused just below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        result = errnoFailure("cannot open");
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = FileResult::failure("not a regular file");
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    result = FileResult::success();
    return std::make_unique<PosixReader>(fd);
}

FileResult PosixFiles::rename(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return errnoFailure("cannot rename");
    return FileResult::success();
}

FileResult PosixFiles::createDirectories(const std::string& path, unsigned mode)
{
    if (path.empty())
        return FileResult::success();
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty())
            continue;
        if (::mkdir(partial.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
            return errnoFailure("cannot create directory");
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return FileResult::failure("not a directory");
    return FileResult::success();
}

} // namespace velorin

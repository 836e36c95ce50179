#include "platform/PosixFiles.h"

#include "platform/ByteReader.h"
#include "platform/DateLookups.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
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

// Recording files are opened only as what they should be: a symbolic link planted under their name
// is not followed, and a FIFO or device is neither waited on nor written to.
int openRecordingFile(const std::string& path, int flags, FileResult& result)
{
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == ELOOP)
            result = FileResult::failure("is a symbolic link, not a regular file");
        else if (errno == ENXIO) // a FIFO without a reader, or a device without its hardware
            result = FileResult::failure("not a regular file");
        else
            result = errnoFailure("cannot open");
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = FileResult::failure("not a regular file");
        ::close(fd);
        return -1;
    }
    // A second name planted under ours would have the recording written into someone else's file.
    if (st.st_nlink > 1) {
        result = FileResult::failure("has other names (hard links); not written through");
        ::close(fd);
        return -1;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    result = FileResult::success();
    return fd;
}

// An append that cannot be written whole (a full disk, a quota, an I/O error) is cut back off, so
// the file keeps only whole records.
FileResult appendWhole(int fd, std::string_view bytes)
{
    struct stat before {};
    if (::fstat(fd, &before) != 0)
        return errnoFailure("cannot inspect");
    if (writeFully(fd, bytes))
        return FileResult::success();
    FileResult failure = errnoFailure("cannot write");
    if (::ftruncate(fd, before.st_size) != 0)
        failure.error += "; could not cut the partial write back off: " + std::string(std::strerror(errno));
    return failure;
}

class PosixAppendFile : public AppendFile {
public:
    PosixAppendFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~PosixAppendFile() override { ::close(m_fd); }

    FileResult append(std::string_view bytes) override { return appendWhole(m_fd, bytes); }

    bool stillNamed() override
    {
        struct stat open {}, named {};
        return ::fstat(m_fd, &open) == 0 && ::lstat(m_path.c_str(), &named) == 0 && open.st_ino == named.st_ino &&
               open.st_dev == named.st_dev;
    }

private:
    int m_fd;
    std::string m_path;
};

} // namespace

std::unique_ptr<AppendFile> PosixFiles::openAppend(const std::string& path, FileResult& result)
{
    const int fd = openRecordingFile(path, O_WRONLY | O_CREAT | O_APPEND, result);
    if (fd < 0)
        return nullptr;
    return std::make_unique<PosixAppendFile>(fd, path);
}

bool PosixFiles::exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string PosixFiles::followLinks(const std::string& path)
{
    std::string target = path;
    // As many hops as the kernel itself follows before it gives up on a loop.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return target;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size())
            return target;
        link.resize(static_cast<std::size_t>(n));
        const std::size_t slash = target.rfind('/');
        target = link.front() == '/' || slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
    }
    return target;
}

namespace {

// The bytes in a new temporary file beside `path`, closed; its name is in `temp`. On a failure
// nothing is left behind.
FileResult writeTemporary(const std::string& path, std::string_view bytes, unsigned mode, bool durable,
                          std::string& temp)
{
    temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return errnoFailure("cannot create temporary file");
    FileResult result = FileResult::success();
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0 || !writeFully(fd, bytes) || (durable && ::fsync(fd) != 0))
        result = errnoFailure("cannot write");
    if (::close(fd) != 0 && result.ok)
        result = errnoFailure("cannot close");
    if (!result.ok)
        ::unlink(temp.c_str());
    return result;
}

} // namespace

FileResult PosixFiles::writeAtomically(const std::string& named, std::string_view bytes, unsigned mode, bool durable)
{
    // A file reached through a symbolic link is replaced in its own directory; the link stays.
    const std::string path = followLinks(named);
    if (FileResult refused = replaceable(path); !refused.ok)
        return refused;
    std::string temp;
    if (FileResult written = writeTemporary(path, bytes, mode, durable, temp); !written.ok)
        return written;
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        FileResult failure = errnoFailure("cannot rename");
        ::unlink(temp.c_str());
        return failure;
    }
    return FileResult::success();
}

FileResult PosixFiles::createAtomically(const std::string& path, std::string_view bytes, bool& taken, unsigned mode)
{
    taken = false;
    std::string temp;
    FileResult result = writeTemporary(path, bytes, mode, false, temp);
    if (!result.ok)
        return result;
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
        // A file system without the no-replace rename still has link(), which never replaces either.
        if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)
            result = ::link(temp.c_str(), path.c_str()) == 0 ? FileResult::success() : errnoFailure("cannot name");
        else
            result = errnoFailure("cannot name");
        taken = !result.ok && errno == EEXIST;
        ::unlink(temp.c_str()); // the spare name after a link, or the file after a failure
    }
    return result;
}

FileResult PosixFiles::append(const std::string& path, std::string_view bytes)
{
    FileResult result;
    const int fd = openRecordingFile(path, O_WRONLY | O_CREAT | O_APPEND, result);
    if (fd < 0)
        return result;
    result = appendWhole(fd, bytes);
    if (::close(fd) != 0 && result.ok)
        return errnoFailure("cannot close");
    return result;
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

namespace {

// A regular file opened for reading; O_NONBLOCK keeps the open of a FIFO from waiting for a writer,
// and the FIFO is refused just below.
std::unique_ptr<ByteReader> openRegular(const std::string& path, int extraFlags, FileResult& result)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | extraFlags);
    if (fd < 0) {
        result = (extraFlags & O_NOFOLLOW) && errno == ELOOP
                     ? FileResult::failure("is a symbolic link, not a regular file")
                     : errnoFailure("cannot open");
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

} // namespace

std::unique_ptr<ByteReader> PosixFiles::openForReading(const std::string& path, FileResult& result)
{
    return openRegular(path, 0, result);
}

std::unique_ptr<ByteReader> PosixFiles::openWithoutFollowing(const std::string& path, FileResult& result)
{
    return openRegular(path, O_NOFOLLOW, result);
}

EntryInfo PosixFiles::entryInfo(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    if (S_ISREG(st.st_mode))
        return {EntryKind::regular, static_cast<std::uint64_t>(st.st_size), static_cast<std::uint64_t>(st.st_nlink),
                static_cast<unsigned>(st.st_mode & 07777)};
    if (S_ISDIR(st.st_mode))
        return {EntryKind::directory, 0};
    if (S_ISLNK(st.st_mode))
        return {EntryKind::symbolicLink, 0};
    if (S_ISFIFO(st.st_mode))
        return {EntryKind::fifo, 0};
    return {EntryKind::other, 0};
}

// Nothing is read that a network file system would have to fetch afresh for a date.
std::optional<CreationDate> PosixFiles::creationAt(int directory, const char* path)
{
    struct statx st {};
    if (::statx(directory, path, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_BTIME | STATX_MTIME, &st) != 0)
        return std::nullopt;
    const auto seconds = [](const statx_timestamp& t) { return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9; };
    if (st.stx_mask & STATX_BTIME)
        return CreationDate{seconds(st.stx_btime), true};
    if (st.stx_mask & STATX_MTIME)
        return CreationDate{seconds(st.stx_mtime), false};
    return std::nullopt;
}

std::optional<CreationDate> PosixFiles::creationDate(const std::string& path)
{
    return creationAt(AT_FDCWD, path.c_str());
}

void PosixFiles::creationDates(const std::string& directory, const std::vector<const std::string*>& names,
                               std::vector<std::optional<CreationDate>>& dates)
{
    dates.assign(names.size(), std::nullopt);
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // Looked up from the directory itself rather than from the root each time.
    DateLookups lookups([this, fd](const char* name) { return creationAt(fd, name); });
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i]->find_first_of(std::string_view("/\0", 2)) == std::string::npos)
            lookups.add(static_cast<std::uint32_t>(i), *names[i]);
    lookups.finish(dates);
    ::close(fd);
}

std::optional<std::string> PosixFiles::directoryVersion(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    // Every name that comes or goes sets the directory's modification time to the file system's
    // clock, which may tick more coarsely than changes follow one another: a change within the
    // same tick as the look taken now would leave the time as it is. A directory last changed a
    // few seconds ago cannot meet that, even on a FAT volume, whose clock ticks every two seconds.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec - st.st_mtim.tv_sec < 3)
        return std::nullopt;
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_ctim.tv_sec) + "." +
           std::to_string(st.st_ctim.tv_nsec);
}

FileResult PosixFiles::listDirectory(const std::string& path, std::vector<std::string>& names)
{
    return list(path, nullptr, names, nullptr);
}

FileResult PosixFiles::listDirectoryWithDates(const std::string& path, std::string_view datedSuffix,
                                              std::vector<std::string>& names,
                                              std::vector<std::optional<CreationDate>>& dates)
{
    return list(path, &datedSuffix, names, &dates);
}

FileResult PosixFiles::list(const std::string& path, const std::string_view* datedSuffix,
                            std::vector<std::string>& names, std::vector<std::optional<CreationDate>>* dates)
{
    names.clear();
    if (dates)
        dates->clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errnoFailure("cannot open directory");
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        FileResult failure = errnoFailure("cannot list");
        ::close(fd);
        return failure;
    }
    // The dates are looked up on other threads while the directory is still being read.
    DateLookups lookups([this, fd](const char* name) { return creationAt(fd, name); });
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
            if (datedSuffix && name.ends_with(*datedSuffix))
                lookups.add(static_cast<std::uint32_t>(names.size() - 1), name);
        }
        errno = 0;
    }
    FileResult result = errno != 0 ? errnoFailure("cannot list") : FileResult::success();
    if (dates)
        dates->resize(names.size());
    std::vector<std::optional<CreationDate>> unused;
    lookups.finish(dates ? *dates : unused);
    ::closedir(dir);
    return result;
}

FileResult PosixFiles::remove(const std::string& path)
{
    if (::unlink(path.c_str()) != 0)
        return errnoFailure("cannot remove");
    return FileResult::success();
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

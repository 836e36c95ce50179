#include "UploadStore.h"

#include "ContentKey.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velorin {

namespace {

constexpr const char* tempPrefix = "upload-";
// Far more parts than any sender makes of one name; the bound keeps a runaway sender from filling
// the directory under one name.
constexpr unsigned long maxParts = 100000;

std::string errnoText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool writeFully(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Whether the regular file at path holds exactly these bytes. Read in pieces, so that comparing a
// large upload costs no second copy of it. Links are not followed and FIFOs not waited on.
bool holdsExactly(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) == bytes.size();
    char piece[65536];
    while (same) {
        const ssize_t n = ::read(fd, piece, sizeof piece);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            same = n == 0 && bytes.empty();
            break;
        }
        const auto got = static_cast<std::size_t>(n);
        same = got <= bytes.size() && std::memcmp(piece, bytes.data(), got) == 0;
        bytes.remove_prefix(std::min(got, bytes.size()));
    }
    ::close(fd);
    return same;
}

// A directory of ours: created when missing, and refused when something else (a symbolic link to
// elsewhere, a file) stands under its name.
FileResult ownDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        return FileResult::failure(errnoText(("cannot create " + path).c_str()));
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return FileResult::failure(errnoText(("cannot inspect " + path).c_str()));
    if (!S_ISDIR(st.st_mode))
        return FileResult::failure(path + " is not a directory (a symbolic link or a file stands there)");
    return FileResult::success();
}

// A temporary file that is removed when it goes out of scope, whether or not it was linked into place.
class IncomingFile {
public:
    explicit IncomingFile(const std::string& dir) : m_path(dir + "/" + tempPrefix + "XXXXXX") {}
    ~IncomingFile()
    {
        if (m_created)
            ::unlink(m_path.c_str());
    }
    IncomingFile(const IncomingFile&) = delete;
    IncomingFile& operator=(const IncomingFile&) = delete;

    FileResult write(std::string_view bytes)
    {
        const int fd = ::mkstemp(m_path.data());
        if (fd < 0)
            return FileResult::failure(errnoText("cannot create a temporary file"));
        m_created = true;
        const bool written = ::fchmod(fd, 0644) == 0 && writeFully(fd, bytes);
        FileResult result = written ? FileResult::success() : FileResult::failure(errnoText("cannot write"));
        if (::close(fd) != 0 && result.ok)
            result = FileResult::failure(errnoText("cannot close"));
        return result;
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    bool m_created = false;
};

} // namespace

UploadStore::UploadStore(std::string dataDir)
    : m_dataDir(std::move(dataDir)), m_uploads(m_dataDir + "/uploads"), m_incoming(m_dataDir + "/.incoming"),
      m_events(m_dataDir + "/events.jsonl")
{
}

FileResult UploadStore::prepare()
{
    if (FileResult made = m_files.createDirectories(m_dataDir); !made.ok)
        return FileResult::failure("cannot use " + m_dataDir + ": " + made.error);
    // Another collector on the same directory would have its unfinished uploads cleared below.
    m_lock = std::make_unique<DirectoryLock>(m_dataDir);
    if (m_lock->state() == DirectoryLock::State::busy)
        return FileResult::failure(m_dataDir + " is in use by another collector (pid " +
                                   std::to_string(m_lock->holder()) + ")");
    if (m_lock->state() != DirectoryLock::State::held)
        return FileResult::failure("cannot lock " + m_dataDir + ": " + m_lock->problem());
    for (const std::string& dir : {m_uploads, m_incoming})
        if (FileResult own = ownDirectory(dir); !own.ok)
            return own;
    struct stat st {};
    if (::lstat(m_events.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return FileResult::failure(m_events + " is not a regular file");

    // Bytes that a killed run was still writing never reached uploads/; they are of no use.
    if (DIR* dir = ::opendir(m_incoming.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (std::strncmp(entry->d_name, tempPrefix, std::strlen(tempPrefix)) == 0)
                ::unlinkat(::dirfd(dir), entry->d_name, 0);
        ::closedir(dir);
    }
    // A directory we cannot write to would turn every upload into a 500; better to say so at once.
    IncomingFile probe(m_incoming);
    if (FileResult written = probe.write({}); !written.ok)
        return FileResult::failure("cannot write into " + m_incoming + ": " + written.error);
    return FileResult::success();
}

std::optional<std::string> UploadStore::nameProblem(std::string_view name)
{
    if (name.empty())
        return "the file name is empty";
    if (name.size() > maxNameBytes)
        return "the file name is longer than " + std::to_string(maxNameBytes) + " bytes";
    if (name == ".")
        return "the file name is \".\"";
    if (name.find("..") != std::string_view::npos)
        return "the file name contains \"..\"";
    if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos)
        return "the file name contains a slash or a backslash";
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "the file name contains control bytes";
    const std::size_t tilde = name.rfind('~');
    if (tilde != std::string_view::npos && tilde + 1 < name.size() &&
        name.find_first_not_of("0123456789", tilde + 1) == std::string_view::npos)
        return "the file name ends like a stored part (\"~\" and digits)";
    return std::nullopt;
}

std::string UploadStore::partName(const std::string& name, unsigned long part)
{
    return part == 0 ? name : name + "~" + std::to_string(part);
}

FileResult UploadStore::load(const std::string& name, StoredName& parts) const
{
    parts.byContent.clear();
    for (unsigned long part = 0; part <= maxParts; ++part) {
        const std::string path = m_uploads + "/" + partName(name, part);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return FileResult::failure(errnoText(("cannot inspect " + path).c_str()));
            parts.firstFree = part;
            parts.loaded = true;
            return FileResult::success();
        }
        // Whatever is not a regular file there (a link, a directory) is neither read nor replaced:
        // it only takes up its number.
        if (S_ISREG(st.st_mode))
            if (const auto key = ContentKey::ofFile(path))
                parts.byContent.emplace(*key, part);
    }
    parts.firstFree = maxParts + 1;
    parts.loaded = true;
    return FileResult::success();
}

UploadStore::Outcome UploadStore::store(const std::string& name, std::string_view bytes)
{
    Outcome outcome;
    // Written and keyed before any lock is taken, so that large uploads are handled side by side; only
    // naming is one at a time, and only among uploads of the same name.
    IncomingFile incoming(m_incoming);
    if (FileResult written = incoming.write(bytes); !written.ok) {
        outcome.error = written.error;
        return outcome;
    }
    const std::uint64_t key = ContentKey::of(bytes);
    const std::shared_ptr<StoredName> parts = m_index.of(name);
    std::lock_guard lock(parts->mutex);
    if (!parts->loaded)
        if (FileResult loaded = load(name, *parts); !loaded.ok) {
            outcome.error = loaded.error;
            return outcome;
        }

    // A copy of a stored part is a duplicate of the first such part. Only parts with the same key are
    // read, so an upload costs its own size, not that of every part before it.
    std::optional<unsigned long> copy;
    const auto [first, last] = parts->byContent.equal_range(key);
    for (auto it = first; it != last; ++it)
        if ((!copy || it->second < *copy) && holdsExactly(m_uploads + "/" + partName(name, it->second), bytes))
            copy = it->second;
    if (copy) {
        outcome.kind = Outcome::Kind::duplicate;
        outcome.storedAs = partName(name, *copy);
        return outcome;
    }

    for (unsigned long part = parts->firstFree; part <= maxParts; ++part) {
        const std::string candidate = partName(name, part);
        const std::string path = m_uploads + "/" + candidate;
        // A second name for the finished file, not a rename: link() never replaces what may stand
        // under that name, so nothing stored can be overwritten.
        if (::link(incoming.path().c_str(), path.c_str()) == 0) {
            parts->byContent.emplace(key, part);
            parts->firstFree = part + 1;
            outcome.kind = part == 0 ? Outcome::Kind::stored : Outcome::Kind::part;
            outcome.storedAs = candidate;
            return outcome;
        }
        if (errno != EEXIST) {
            outcome.error = errnoText(("cannot store " + path).c_str());
            return outcome;
        }
        // Put there by someone else since the name was read: it counts like any other part.
        parts->firstFree = part + 1;
        if (const auto existing = ContentKey::ofFile(path)) {
            parts->byContent.emplace(*existing, part);
            if (*existing == key && holdsExactly(path, bytes)) {
                outcome.kind = Outcome::Kind::duplicate;
                outcome.storedAs = candidate;
                return outcome;
            }
        }
    }
    outcome.error = "more than " + std::to_string(maxParts) + " parts of " + name;
    return outcome;
}

FileResult UploadStore::appendEvent(std::string_view line)
{
    std::string whole(line);
    whole += '\n';
    std::lock_guard lock(m_appending);
    return m_files.append(m_events, whole);
}

} // namespace velorin

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

struct FileResult {
    bool ok = true;
    std::string error; // the reason, when not ok

    static FileResult success() { return {}; }
    static FileResult failure(std::string reason) { return {false, std::move(reason)}; }
};

// What a name is, seen without following a symbolic link.
enum class EntryKind { missing, regular, directory, symbolicLink, fifo, other };

struct EntryInfo {
    EntryKind kind = EntryKind::missing;
    std::uint64_t size = 0; // bytes, for a regular file
    std::uint64_t links = 1; // names the file has; more than one for a hard link
    unsigned mode = 0644;    // permission bits
};

struct CreationDate {
    double seconds = 0; // since the epoch
    // A birth time never changes while the name stays; a modification time standing in for one does.
    bool birth = false;
};

// A file kept open for appending, for files that grow often.
class ByteReader;

class AppendFile {
public:
    virtual ~AppendFile() = default;
    virtual FileResult append(std::string_view bytes) = 0;
    // False once the file has been removed or renamed: appends would no longer reach its name.
    virtual bool stillNamed() = 0;
};

// File access as the recording and settings code needs it.
class Files {
public:
    virtual ~Files() = default;
    // Whether anything has this name: a file, a directory, a device, even a dangling link.
    virtual bool exists(const std::string& path) = 0;
    // Replaces the file in one step: a temporary file beside it is written, then renamed over it.
    // Only a regular file is replaced (a link is followed to it); a FIFO, device, socket or directory
    // at the name is refused.
    // durable also forces the data to the disk before the rename (the settings; recording files are
    // too frequent for that).
    virtual FileResult writeAtomically(const std::string& path, std::string_view bytes, unsigned mode = 0644,
                                       bool durable = false) = 0;
    // Creates a new file in one step, never replacing anything and never following a link: the
    // temporary file is given the name only while nothing at all has it. When something has,
    // nothing is written and `taken` is set.
    virtual FileResult createAtomically(const std::string& path, std::string_view bytes, bool& taken,
                                        unsigned mode = 0644) = 0;
    // One open-append-close; creates the file when missing. Only a regular file is appended to (a
    // symbolic link is not followed, a FIFO is not waited on), and an append that cannot be written
    // whole is cut back off, so the file keeps its length from before.
    virtual FileResult append(const std::string& path, std::string_view bytes) = 0;
    // Opens (creating when missing) for appends that go through one handle.
    virtual std::unique_ptr<AppendFile> openAppend(const std::string& path, FileResult& result) = 0;
    // Input files (settings, scripts, replays) are read only when they are regular files: a FIFO, a
    // device or a directory is refused with the reason, never waited on. Symbolic links are followed.
    virtual std::unique_ptr<ByteReader> openForReading(const std::string& path, FileResult& result) = 0;
    // The whole of a regular file, refused when it holds more than maxBytes.
    FileResult readAll(const std::string& path, std::string& bytes, std::size_t maxBytes);
    // Files that anyone may have put in a directory of ours are read only as the very name: a
    // symbolic link is refused rather than followed, and a FIFO or device is refused, never waited on.
    virtual std::unique_ptr<ByteReader> openWithoutFollowing(const std::string& path, FileResult& result) = 0;
    // The whole of such a file, refused when it holds more than maxBytes.
    FileResult readAllWithoutFollowing(const std::string& path, std::string& bytes, std::size_t maxBytes);
    virtual EntryInfo entryInfo(const std::string& path) = 0;
    // Whether a whole new file may take this name: nothing is there yet, or a regular file. A FIFO,
    // device, socket or directory would become a plain file (as root, even /dev/null). No link is
    // followed here; callers pass the name a link leads to.
    FileResult replaceable(const std::string& path);
    // When the name came to be: its birth time where the file system keeps one, else its last
    // modification. A symbolic link is not followed. nullopt when the name cannot be inspected; an
    // adapter that cannot tell says so rather than guessing.
    virtual std::optional<CreationDate> creationDate(const std::string& /*path*/) { return std::nullopt; }
    // The creation dates of many names of one directory, in their order. The same answers as one
    // creationDate each; an adapter may find them faster together.
    virtual void creationDates(const std::string& directory, const std::vector<const std::string*>& names,
                               std::vector<std::optional<CreationDate>>& dates)
    {
        dates.clear();
        dates.reserve(names.size());
        for (const std::string* name : names)
            dates.push_back(creationDate(directory + "/" + *name));
    }
    // A value that differs whenever a name in the directory has come, gone or been replaced since,
    // for keeping what was learnt from a listing. nullopt when the adapter cannot vouch for that,
    // which includes a directory changed so lately that a further change might go unseen.
    virtual std::optional<std::string> directoryVersion(const std::string& /*path*/) { return std::nullopt; }
    // The names in a directory, without "." and "..", in no particular order. A symbolic link is not
    // listed through.
    virtual FileResult listDirectory(const std::string& path, std::vector<std::string>& names) = 0;
    // listDirectory, with the creation dates of the names that end with datedSuffix, one entry per
    // name (nullopt for the other names and for those that cannot be inspected). The same answers
    // as listDirectory and creationDates; an adapter may look the dates up while it still reads.
    virtual FileResult listDirectoryWithDates(const std::string& path, std::string_view datedSuffix,
                                              std::vector<std::string>& names,
                                              std::vector<std::optional<CreationDate>>& dates);
    // Removes one name that is not a directory; a symbolic link goes, not what it points to.
    virtual FileResult remove(const std::string& path) = 0;
    virtual FileResult rename(const std::string& from, const std::string& to) = 0;
    virtual FileResult createDirectories(const std::string& path, unsigned mode = 0755) = 0;
    // The file a path names once symbolic links in its last part are followed; the path itself when
    // it is no link.
    virtual std::string followLinks(const std::string& path) { return path; }
};

} // namespace velorin

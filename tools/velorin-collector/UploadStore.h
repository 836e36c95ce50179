#pragma once

#include "UploadIndex.h"
#include "platform/DirectoryLock.h"
#include "platform/PosixFiles.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// The files the collector keeps under its data directory:
//   uploads/NAME      the bytes of the first upload of NAME
//   uploads/NAME~1..  further uploads of NAME whose bytes differ from every earlier one
//   events.jsonl      one JSON object per line, one line per event
//   .incoming/        upload bytes being written; they reach uploads/ whole or not at all
// Nothing stored is ever replaced or changed: the directory itself is the record of what arrived,
// also across restarts.
class UploadStore {
public:
    struct Outcome {
        enum class Kind { stored, part, duplicate, failed };
        Kind kind = Kind::failed;
        std::string storedAs; // the name in uploads/ that holds these bytes
        std::string error;    // when failed
    };

    explicit UploadStore(std::string dataDir);

    // Creates the directories (or checks those that exist) and clears what a killed run left in
    // .incoming/. Only real directories are used: a symbolic link or a file under one of the names is
    // refused, so no upload can be written outside the data directory.
    FileResult prepare();

    // Why NAME cannot be an upload's file name, or nothing when it can. A name stays inside uploads/
    // (no "/", "\\", "." or ".."), prints safely (no control bytes), leaves room for the part suffix
    // and does not itself end like a part ("~" and digits), so a part is never taken for an upload.
    static std::optional<std::string> nameProblem(std::string_view name);

    // Stores the bytes under a name that nameProblem accepts. Safe to call from many threads.
    Outcome store(const std::string& name, std::string_view bytes);

    // Appends one line (the newline is added) to events.jsonl, whole or not at all.
    FileResult appendEvent(std::string_view line);

    const std::string& uploadsDir() const { return m_uploads; }
    const std::string& eventsFile() const { return m_events; }

    static constexpr std::size_t maxNameBytes = 200;

private:
    static std::string partName(const std::string& name, unsigned long part);
    // Reads what the directory holds under name, once, into parts.
    FileResult load(const std::string& name, StoredName& parts) const;

    std::string m_dataDir;
    std::string m_uploads;
    std::string m_incoming;
    std::string m_events;
    PosixFiles m_files;
    std::unique_ptr<DirectoryLock> m_lock; // held from prepare() on
    // Choosing a part of a name and taking it is one step under that name's own lock; link() would
    // refuse a taken name anyway, but the index must see every part of its name.
    UploadIndex m_index;
    // Events have their own lock, so that no upload ever holds them up.
    std::mutex m_appending;
};

} // namespace velorin

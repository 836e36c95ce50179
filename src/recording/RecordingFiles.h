#pragma once

#include "platform/Files.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velorin {

class Log;

// Writes the files of a recording. A name that exists already is appended to (two flushes in one
// 30-second slot, a heart-rate file that grows), so nothing is ever replaced. A write that fails is
// logged with its path and reason every time, and the user is told once per run.
class RecordingFiles {
public:
    using NoticePoster = std::function<void(const std::string&)>;
    static constexpr std::string_view failureNotice = "Recording could not be saved.";

    RecordingFiles(Files& files, Log& log, NoticePoster postNotice)
        : m_files(files), m_log(log), m_postNotice(std::move(postNotice))
    {
    }

    // Returns false when the write failed (already reported).
    bool writeOrAppend(const std::string& path, std::string_view bytes);
    // True once any write has failed in this run.
    bool anyFailed() const { return m_reported.load(); }

    // Appends to one file that grows often (the heart-rate readings) through a handle kept open
    // between appends. The file is created in one atomic step by its first write, and opened again
    // should it have been removed or renamed meanwhile.
    class Appender {
    public:
        Appender(RecordingFiles& owner, std::string path) : m_owner(owner), m_path(std::move(path)) {}
        bool append(std::string_view bytes);
        const std::string& path() const { return m_path; }

    private:
        RecordingFiles& m_owner;
        std::string m_path;
        std::unique_ptr<AppendFile> m_file;
    };

private:
    void report(std::string_view path, std::string_view reason);

    Files& m_files;
    Log& m_log;
    NoticePoster m_postNotice;
    std::atomic<bool> m_reported{false};
};

} // namespace velorin

#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace velorin {

class Files;
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
    bool anyFailed() const { return m_reported.load(); }

private:
    void report(std::string_view path, std::string_view reason);

    Files& m_files;
    Log& m_log;
    NoticePoster m_postNotice;
    std::atomic<bool> m_reported{false};
};

} // namespace velorin

#pragma once

#include "recording/RecordingFiles.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velorin {

class Clock;

// The heart-rate file of a recording: each published reading followed by a space, in a file named
// after the moment of the first reading since the last reset. Main queue.
class HeartRateFile {
public:
    HeartRateFile(RecordingFiles& files, const Clock& clock, std::string documentsDirectory)
        : m_files(files), m_clock(clock), m_documents(std::move(documentsDirectory))
    {
    }

    void append(std::int32_t reading);
    // The next reading begins a new file.
    void reset() { m_file.reset(); }
    // Empty until the first reading since the last reset.
    std::string path() const { return m_file ? m_file->path() : std::string(); }

private:
    RecordingFiles& m_files;
    const Clock& m_clock;
    std::string m_documents;
    std::optional<RecordingFiles::Appender> m_file;
};

} // namespace velorin

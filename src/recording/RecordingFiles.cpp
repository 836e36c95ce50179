#include "recording/RecordingFiles.h"

#include "platform/Files.h"
#include "platform/Log.h"

namespace velorin {

bool RecordingFiles::writeOrAppend(const std::string& path, std::string_view bytes)
{
    const FileResult result = m_files.exists(path) ? m_files.append(path, bytes) : m_files.writeAtomically(path, bytes);
    if (!result.ok)
        report(path, result.error);
    return result.ok;
}

void RecordingFiles::report(std::string_view path, std::string_view reason)
{
    std::string line = "Could not save ";
    line.append(path).append(": ").append(reason);
    m_log.line(line);
    if (!m_reported.exchange(true) && m_postNotice)
        m_postNotice(std::string(failureNotice));
}

} // namespace velorin

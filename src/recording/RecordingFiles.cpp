#include "recording/RecordingFiles.h"

#include "platform/Files.h"
#include "platform/Log.h"

namespace velorin {

bool RecordingFiles::writeOrAppend(const std::string& path, std::string_view bytes)
{
    bool taken = m_files.exists(path);
    FileResult result;
    if (!taken)
        result = m_files.createAtomically(path, bytes, taken);
    // Whatever took the name (the file of an earlier flush, or something planted meanwhile) is
    // appended to only if it is a regular file of its own.
    if (taken)
        result = m_files.append(path, bytes);
    if (!result.ok)
        report(path, result.error);
    return result.ok;
}

bool RecordingFiles::Appender::append(std::string_view bytes)
{
    if (m_file && !m_file->stillNamed())
        m_file.reset();
    if (!m_file) {
        if (!m_owner.m_files.exists(m_path))
            return m_owner.writeOrAppend(m_path, bytes);
        FileResult opened;
        m_file = m_owner.m_files.openAppend(m_path, opened);
        if (!m_file) {
            m_owner.report(m_path, opened.error);
            return false;
        }
    }
    const FileResult result = m_file->append(bytes);
    if (!result.ok) {
        m_owner.report(m_path, result.error);
        m_file.reset();
    }
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

#include "recording/RecordingWriter.h"

#include "platform/Clock.h"
#include "platform/Log.h"
#include "recording/EventCapture.h"
#include "recording/FileStamp.h"
#include "recording/RecordingFiles.h"
#include "recording/UploadSink.h"
#include "signal/Acquisition.h"
#include "signal/StreamFormat.h"

#include <mutex>

namespace velorin {

RecordingWriter::RecordingWriter(Acquisition& acquisition, EventCapture& events, RecordingFiles& files,
                                 const Clock& clock, Log& log, std::string documentsDirectory)
    : m_acq(acquisition), m_events(events), m_files(files), m_clock(clock), m_log(log),
      m_documents(std::move(documentsDirectory))
{
}

void RecordingWriter::writeTickToFile()
{
    const std::string stamp = chunkFileStamp(m_clock.now());
    m_acq.chunkStamp = stamp;
    const std::string chunkPath = m_documents + "/" + stamp + ".ecg";
    const std::string streamPath = m_documents + "/" + stamp + ".s2";

    std::string openStream;
    {
        // Buffers are swapped out under the lock and written without it, so Start and Stop never wait
        // for the disk.
        std::lock_guard lock(m_acq.bufferMutex);
        if (m_acq.recordingPath.empty()) {
            m_acq.recordingPath = streamPath;
            m_acq.recordBuffer.append(streamHeader(m_acq.chosenSensorId, stamp));
        }
        if (m_acq.sampleText.empty())
            return; // nothing to write yet; the stream bytes wait for the next flush
        m_chunk.swap(m_acq.sampleText);
        m_acq.sampleText.clear();
        openStream = m_acq.recordingPath;
        m_stream.swap(m_acq.recordBuffer);
        m_acq.recordBuffer.clear();
    }

    m_files.writeOrAppend(chunkPath, m_chunk);
    if (auto event = m_events.eventStep(m_chunk, stamp))
        m_files.writeOrAppend(m_documents + "/" + event->name, event->text);
    m_chunk.clear();

    m_files.writeOrAppend(openStream, m_stream);
    m_stream.clear();

    if (m_uploader) {
        m_uploader->writeToServer(m_acq.uploadBuffer, stamp);
    } else {
        if (!m_noUploaderLogged) {
            m_log.line("No uploader attached: recorded packets are kept in the files only");
            m_noUploaderLogged = true;
        }
        m_acq.uploadBuffer.clear();
    }
}

} // namespace velorin

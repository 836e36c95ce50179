#pragma once

#include "signal/PacketIntake.h"

#include <string>
#include <string_view>

namespace velorin {

struct Acquisition;
class Clock;
class EventCapture;
class Log;
class RecordingFiles;
class UploadSink;

// A flush: every 268 counted packets the chunk's sample text becomes a ".ecg" file, the stream
// buffer goes to the open ".s2" file, a finished marked event becomes an ".event" file, and the
// chunk's packet bytes go to the upload. Runs on the Bluetooth queue between two packets.
class RecordingWriter : public FlushTarget {
public:
    RecordingWriter(Acquisition& acquisition, EventCapture& events, RecordingFiles& files, const Clock& clock,
                    Log& log, std::string documentsDirectory);

    // Without a sink the chunk's packet bytes are dropped at each flush, and the log says so once.
    void setUploader(UploadSink* uploader) { m_uploader = uploader; }

    void writeTickToFile() override;


private:
    Acquisition& m_acq;
    EventCapture& m_events;
    RecordingFiles& m_files;
    const Clock& m_clock;
    Log& m_log;
    std::string m_documents;
    UploadSink* m_uploader = nullptr;
    bool m_noUploaderLogged = false;
    std::string m_chunk;  // the chunk's sample text, swapped out of the shared buffer
    std::string m_stream; // the stream bytes, swapped out likewise
};

} // namespace velorin

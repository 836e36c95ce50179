#include "recording/HeartRateFile.h"

#include "platform/Clock.h"
#include "platform/LocalTime.h"
#include "signal/PacketDecoder.h"

namespace velorin {

void HeartRateFile::append(std::int32_t reading)
{
    if (!m_file)
        m_file.emplace(m_files, m_documents + "/" + formatFileStamp(m_clock.now()) + ".bpm");
    std::string text;
    appendDecimal(text, reading);
    text.push_back(' ');
    m_file->append(text);
}

} // namespace velorin

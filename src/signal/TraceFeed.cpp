#include "signal/TraceFeed.h"

#include <algorithm>

namespace velorin {

void TraceFeed::feed(const PacketSamples& samples)
{
    ++m_packetParity;
    if (m_packetParity % 2 != 0) {
        std::copy(samples.begin(), samples.end(), m_pairBuffer.begin());
        return;
    }
    std::copy(samples.begin(), samples.end(), m_pairBuffer.begin() + 14);
    // 13 values per two packets: the last pair (s12, s13) of the second packet is never shown.
    for (std::size_t m = 0; m <= 24; m += 2) {
        const float value = static_cast<float>((m_pairBuffer[m] + m_pairBuffer[m + 1]) / 2);
        m_view.ekgMap().write(static_cast<std::size_t>(m_traceWriteCount % 180), value);
        ++m_traceWriteCount;
        if (m_view.shouldStop() == 0)
            m_view.drawView();
    }
}

} // namespace velorin

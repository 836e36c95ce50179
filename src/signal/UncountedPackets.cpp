#include "signal/UncountedPackets.h"

namespace velorin {

bool UncountedPackets::noteUncounted(std::string& text, std::string& record, std::size_t textStart,
                                     std::size_t recordStart)
{
    m_starts.push_back({textStart, recordStart});
    if (m_starts.size() < 2 * m_limit)
        return false;
    const bool first = !m_dropped;
    trim(text, record);
    return first;
}

void UncountedPackets::trim(std::string& text, std::string& record)
{
    if (m_starts.size() <= m_limit)
        return;
    const std::size_t drop = m_starts.size() - m_limit;
    const Start from = m_starts.front(), to = m_starts[drop];
    // Whatever lies between the dropped packets (a short packet's error text) goes with them.
    text.erase(from.text, to.text - from.text);
    record.erase(from.record, to.record - from.record);
    m_starts.erase(m_starts.begin(), m_starts.begin() + static_cast<std::ptrdiff_t>(drop));
    for (Start& start : m_starts) {
        start.text -= to.text - from.text;
        start.record -= to.record - from.record;
    }
    m_dropped = true;
}

void UncountedPackets::forget()
{
    m_starts.clear();
    m_dropped = false;
}

} // namespace velorin

#include "signal/UncountedPackets.h"

namespace velorin {

bool UncountedPackets::noteUncounted(std::string& buffer, std::size_t start)
{
    m_starts.push_back(start);
    if (m_starts.size() < 2 * m_limit)
        return false;
    const bool first = !m_dropped;
    trim(buffer);
    return first;
}

void UncountedPackets::trim(std::string& buffer)
{
    if (m_starts.size() <= m_limit)
        return;
    const std::size_t drop = m_starts.size() - m_limit;
    // Whatever lies between the dropped packets (a short packet's error text) goes with them.
    const std::size_t from = m_starts.front(), length = m_starts[drop] - from;
    buffer.erase(from, length);
    m_starts.erase(m_starts.begin(), m_starts.begin() + static_cast<std::ptrdiff_t>(drop));
    for (std::size_t& start : m_starts)
        start -= length;
    m_dropped = true;
}

void UncountedPackets::forget()
{
    m_starts.clear();
    m_dropped = false;
}

} // namespace velorin

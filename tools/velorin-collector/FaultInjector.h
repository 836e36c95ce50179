#pragma once

#include <cstdint>
#include <mutex>
#include <random>

namespace velorin {

// Decides, one answer at a time, whether the collector misbehaves on purpose.
class FaultInjector {
public:
    enum class Fault { none, fail, empty };

    // failRate + emptyRate is at most 1: one draw picks among the three, so the rates are the shares
    // of answers that come out each way.
    FaultInjector(double failRate, double emptyRate, std::uint64_t seed)
        : m_failRate(failRate), m_emptyRate(emptyRate), m_random(seed)
    {
    }

    Fault draw()
    {
        if (m_failRate <= 0.0 && m_emptyRate <= 0.0)
            return Fault::none;
        double u = 0.0;
        {
            std::lock_guard lock(m_mutex);
            u = std::uniform_real_distribution<double>(0.0, 1.0)(m_random);
        }
        if (u < m_failRate)
            return Fault::fail;
        if (u < m_failRate + m_emptyRate)
            return Fault::empty;
        return Fault::none;
    }

private:
    const double m_failRate;
    const double m_emptyRate;
    std::mutex m_mutex;
    std::mt19937_64 m_random;
};

} // namespace velorin

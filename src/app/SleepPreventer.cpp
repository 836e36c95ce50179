#include "app/SleepPreventer.h"

#include "app/SilentSound.h"
#include "app/SleepInhibitor.h"
#include "platform/Log.h"

namespace velorin {

SleepPreventer::SleepPreventer(KeepAwakePorts ports, Timers& timers, Log& log)
    : m_ports(ports), m_timers(timers), m_log(log)
{
}

SleepPreventer::~SleepPreventer()
{
    m_timers.cancel(m_preventSleepTimer);
    // No outcome may reach this service once it is gone.
    if (m_lock == Lock::held)
        m_log.line("The computer may sleep again");
    if (m_lock != Lock::none)
        m_ports.inhibitor.release();
}

void SleepPreventer::startPreventSleep()
{
    if (m_preventSleepTimer == 0)
        m_preventSleepTimer = m_timers.repeating(
            soundPeriod, [this] { playPreventSleepSound(); }, true);
}

void SleepPreventer::playPreventSleepSound()
{
    const std::string problem = m_ports.sound.play();
    if (!problem.empty() && !m_soundFailing)
        m_log.line("Cannot play the keep-awake sound: " + problem);
    m_soundFailing = !problem.empty();
}

void SleepPreventer::setSensorConnected(bool connected)
{
    m_connected = connected;
    follow();
}

void SleepPreventer::setRecording(bool recording)
{
    m_recording = recording;
    follow();
}

void SleepPreventer::follow()
{
    const bool wanted = m_connected || m_recording;
    if (wanted && m_lock == Lock::none) {
        m_lock = Lock::asked;
        m_ports.inhibitor.acquire([this](const std::string& refusal) { lockAnswered(refusal); });
    } else if (!wanted && m_lock != Lock::none) {
        if (m_lock == Lock::held)
            m_log.line("The computer may sleep again");
        m_lock = Lock::none;
        m_ports.inhibitor.release();
    }
}

void SleepPreventer::lockAnswered(const std::string& refusal)
{
    if (m_lock != Lock::asked)
        return; // abandoned meanwhile; the inhibitor has let it go
    if (!refusal.empty()) {
        // Asked again at the next change of sensor or recording, not in a loop.
        m_lock = Lock::none;
        if (refusal != m_lastRefusal)
            m_log.line("Cannot keep the computer awake: " + refusal);
        m_lastRefusal = refusal;
        return;
    }
    m_lock = Lock::held;
    m_lastRefusal.clear();
    m_log.line("Keeping the computer awake while a sensor is connected or a recording is on");
}

} // namespace velorin

#pragma once

#include "platform/Timers.h"

#include <string>

namespace velorin {

class Log;
class SilentSound;
class SleepInhibitor;

// What keeps the computer awake: the sound the monitor plays all along, and the lock it holds
// while there is ECG to lose.
struct KeepAwakePorts {
    SilentSound& sound;
    SleepInhibitor& inhibitor;
};

// The keep-awake service: replays a silent sound every 5 s for the life of the process, and holds
// a sleep lock while a sensor is connected or a recording is on, letting go once neither holds.
// A refused lock only costs the lock: the recording goes on. Main queue only.
class SleepPreventer {
public:
    static constexpr Nanoseconds soundPeriod = std::chrono::seconds(5);

    SleepPreventer(KeepAwakePorts ports, Timers& timers, Log& log);
    ~SleepPreventer();
    SleepPreventer(const SleepPreventer&) = delete;
    SleepPreventer& operator=(const SleepPreventer&) = delete;

    // Plays the sound at once and then every 5 s.
    void startPreventSleep();
    void playPreventSleepSound();

    void setSensorConnected(bool connected);
    void setRecording(bool recording);

private:
    enum class Lock { none, asked, held };
    void follow();
    void lockAnswered(const std::string& refusal);

    KeepAwakePorts m_ports;
    Timers& m_timers;
    Log& m_log;
    Timers::Id m_preventSleepTimer = 0;
    bool m_soundFailing = false; // one log line per spell of failures, not one every 5 s
    bool m_connected = false;
    bool m_recording = false;
    Lock m_lock = Lock::none;
    std::string m_lastRefusal; // the same refusal is not logged again at every reconnection
};

} // namespace velorin

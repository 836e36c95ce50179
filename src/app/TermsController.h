#pragma once

namespace velorin {

class Clock;
class SettingsStore;

// The terms of use: the user is held at them until accepting. Declining stores nothing, so the
// terms come back at the next start.
class TermsController {
public:
    TermsController(SettingsStore& settings, const Clock& clock) : m_settings(settings), m_clock(clock) {}

    // Accepted, or declined by an older release, which counts the same.
    static bool termsSettled(const SettingsStore& settings);
    bool termsSettled() const { return termsSettled(m_settings); }
    // Stores the acceptance and its date; false when the settings could not be saved.
    bool agreeClick();

private:
    SettingsStore& m_settings;
    const Clock& m_clock;
};

} // namespace velorin

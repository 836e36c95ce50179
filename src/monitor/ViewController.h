#pragma once

#include "monitor/AmplitudeWindow.h"
#include "monitor/BatteryDisplay.h"
#include "monitor/EventMarking.h"
#include "monitor/MonitorContext.h"
#include "monitor/ScreenLock.h"
#include "monitor/SensorStatus.h"
#include "platform/Seconds.h"
#include "platform/Timers.h"
#include "sensor/LinkOutlets.h"
#include "signal/PacketIntake.h"

#include <memory>
#include <string>

namespace velorin {

struct AlertRequest;
class MonitorSession;
class SleepPreventer;
class TracePainter;

// The monitor screen's controller: drives the screen through its view and its dialogs, and turns
// the buttons into the session's work. The session behind it (made first, going last) holds the
// acquisition state, the signal path, the recording and the sensor link; intake and the link report
// their screen effects here. Event marking, the lock and the battery display are small parts of its
// own, and so is the sensor's status. Main queue, but for the outlets (Bluetooth queue).
class ViewController : private IntakeOutlets, private LinkOutlets {
public:
    ViewController(MonitorContext context, MonitorSession& session);
    ~ViewController() override;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // Screen load: initial outlet state, settings into the acquisition state, the sensor and the timers.
    void viewDidLoad();
    // After every layout: only the Start/Stop pair of the window's orientation is shown.
    void viewDidLayoutSubviews();
    // No version alert at the next load (the terms were just accepted).
    void dontShow() { m_aboutPending = 0; }
    // Brings this screen's tab to the front (settings screens, when they close).
    void currentTabIndex();
    // The login screen over the tab bar, opened from the main queue.
    void backToLogin();

    // Lock (a passcode was just stored) and the unlock dialog. The lock holds while lockPass is a
    // non-empty text; the right passcode removes it.
    void passwordSet();
    void unlockClick() { m_lock.unlockClick(); }

    // The trace's vertical window, kept in the settings.
    void zoom() { m_amplitude.zoom(); }
    void unzoom() { m_amplitude.unzoom(); }
    void amplitudeUp() { m_amplitude.up(); }
    void amplitudeDown() { m_amplitude.down(); }
    // Frames drawn by the painter use the window the amplitude controls keep.
    void attachTracePainter(TracePainter* painter);

    // Start and Stop buttons (main queue).
    void startClick();
    void stopClick();
    void resetImageChanged() { m_status.resetImageChanged(); }
    void readBatteryLevel() { m_battery.readBatteryLevel(); }
    // The sensor button: the list of sensors found, with a field for the pin.
    void showDropDownList();
    void disconnectClick();
    // The one answer handler of the screen's alerts, which it tells apart by their message.
    void alertViewClickedButtonAtIndex(const std::string& message, int buttonIndex, const std::string& fieldText);

    // Mark-event button (main queue): asks for an activity, then for a feeling.
    void markEvent() { m_marking.markEvent(); }
    // The two answers (main queue); button 0 is Cancel, which leaves everything as it was.
    void activityChosen(int buttonIndex) { m_marking.activityChosen(buttonIndex); }
    void feelingChosen(int buttonIndex) { m_marking.feelingChosen(buttonIndex); }
    // Timer action 45 s after a feeling was chosen.
    void reEnableStopButton() { m_marking.reEnableStopButton(); }

    // Main queue: the user pressed Start and no Stop or sensor drop has ended the recording since.
    bool isRecording() const;

private:
    // Intake's and the link's screen effects, called on the Bluetooth queue.
    void showConnectedNotice() override { m_status.showConnectedNotice(); }
    bool sensorImageIsOk() const override { return m_status.sensorImageIsOk(); }
    void refreshSensorStatus() override { m_status.refreshSensorStatus(); }
    void showBatteryLevel(std::uint8_t rawByte) override;
    void signalResumed() override;
    void showRadioUnavailable() override { m_status.showRadioUnavailable(); }
    void showRadioOff() override { m_status.showRadioOff(); }
    void showSensorTakenUp(const std::string& name) override { m_status.showSensorTakenUp(name); }
    void showSensorConnected() override;
    void showSensorDisconnected(bool byUser) override;
    void sensorChanged() override;
    void disableDisconnect() override { m_status.disableDisconnect(); }
    void showOutOfRange() override { m_status.showOutOfRange(); }

    // The screen as after Stop: recording controls hidden, Start in place of Stop, trace still.
    void showStopped();
    // An alert whose answer goes to alertViewClickedButtonAtIndex.
    void showAnsweredAlert(const AlertRequest& request);
    // Shows Stop and hides Start while recording, the other way round when not.
    void swapStartAndStop(bool recording);
    // Hides the event button and the heart rate and stops the trace; the other way round.
    void stillTrace();
    void showLiveTrace();
    // Main queue, every heart-rate tick: "No signal" over the trace while no ECG packet came for
    // more than a second. True while there is none.
    bool checkSignal();
    void unlockAnswered(const std::string& fieldText);
    void locationInit();

    MonitorContext m_ctx;
    MonitorSession& m_session;
    Timers::Id m_bpmTimer = 0;
    AmplitudeWindow m_amplitude{m_ctx.settings};
    BatteryDisplay m_battery;
    ScreenLock m_lock;
    EventMarking m_marking;
    SensorStatus m_status;
    // Main queue only.
    int m_aboutPending = 1;
    bool m_noSignalShown = false;
    Nanoseconds m_loadedAt{0};
    // Last, so that it lets go of its lock and timer first. Main queue only.
    std::unique_ptr<SleepPreventer> m_sleepPreventer;
};

} // namespace velorin

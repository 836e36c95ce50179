#pragma once

#include "monitor/MonitorView.h"
#include "platform/Alerts.h"
#include "platform/Seconds.h"

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace velorin {

class Clock;
class Log;

// What the monitor screen shows, as lines "SECONDS KIND TEXT" with seconds from the start to three
// decimals: bpm, battery, notice, alert, sensor, trace and upload lines, one each time the screen is set.
class ConsoleView : public MonitorView, public ScriptableAlerts {
public:
    // lineBuffered: flush after every line (a live run); otherwise the stream's own buffering.
    // Once the output cannot be written (a closed pipe, a full disk) the view says so once in the
    // log and writes no more; the run goes on.
    ConsoleView(std::FILE* out, const Clock& clock, Nanoseconds start, bool lineBuffered, Log& log);

    void setShown(Outlet outlet, bool shown) override;
    void setEnabled(Outlet, bool) override {}
    void setText(Outlet outlet, const std::string& text) override;
    void setImage(Outlet outlet, const std::string& imageName) override;
    void setProgress(Outlet, float) override {}
    void setTint(Outlet, Tint) override {}
    void setScale(Outlet, float, float) override {}
    void setBorder(Outlet, float, Rgba) override {}
    void makeToast(const std::string& message) override;
    DeviceOrientation orientation() const override { return DeviceOrientation::portrait; }
    // A headless run has no other screens to open.
    void presentLogin() override {}
    void selectMonitorTab() override {}

    // Alerts are printed, the choice list with one "sensor-list LABEL" line per sensor in button
    // order. The latest alert stays open until press() answers it; one it replaces is never answered.
    void show(const AlertRequest& request, Answer answer) override;
    // Answers the open alert as if its button had been pressed with the text typed; false when no
    // alert is open or it has no such button.
    bool press(int buttonIndex, const std::string& fieldText) override;
    // The open alert's message; empty when none is open.
    std::string openMessage() const override { return m_open ? m_openAlert.message : std::string(); }
    // Called each time the sensor icon turns "Ok": the sensor's packets flow (again).
    void onSensorOk(std::function<void()> sensorOk) { m_sensorOk = std::move(sensorOk); }
    // Writes out what is still buffered, saying so in the log should that fail.
    void finish();

private:
    void print(std::string_view kind, std::string_view text);
    void checkOutput();

    std::FILE* m_out;
    const Clock& m_clock;
    Nanoseconds m_start; // on the monotonic clock
    bool m_lineBuffered;
    Log& m_log;
    bool m_failed = false;
    bool m_open = false;
    AlertRequest m_openAlert;
    Answer m_answer;
    std::function<void()> m_sensorOk;
};

} // namespace velorin

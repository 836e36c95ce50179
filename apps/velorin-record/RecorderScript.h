#pragma once

#include "platform/Seconds.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// Timed commands for a headless run: "SECONDS COMMAND [ARGS]" a line, seconds from the start.
struct ScriptCommand {
    enum class Kind {
        start, stop, foreground, background, inactive, quit,
        // The sensor: the choice list and the disconnect button.
        choose, disconnect,
        // Faults of the simulated sensor.
        simDrop, simAway, simRadioOff, simRadioOn, simRefuse, simShort, simBattery, simRssi,
        // Marked events and the network.
        mark, offline, online,
        // The monitor's zoom, amplitude, lock and login buttons; the open dialog's first button.
        zoom, unzoom, amplitudeUp, amplitudeDown, lock, unlock, login, dismiss,
        // The desktop window only.
        resize, minimize, restore, tap, tab, screenshot,
    };
    Nanoseconds at{0};
    Kind kind = Kind::start;
    int line = 0;
    int number = 0;       // choose: the button index; sim battery: the level; sim rssi: dBm; resize: the width
    int height = 0;       // resize
    Nanoseconds span{0};  // sim away: how long the sensor stays out of range
    // choose: the PIN typed (may be empty); mark: the activity or "cancel"; lock, unlock: the passcode;
    // tab: monitor, history or settings; screenshot: the PNG file
    std::string text;
    std::string feeling;  // mark: the feeling or "cancel"
};

struct ScriptResult {
    std::vector<ScriptCommand> commands; // in file order
    // "FILE:LINE: message" when the script is malformed; words of the script and the file name in it
    // are escaped (see escapeControl), so it can be printed as it is.
    std::string error;
    bool ok() const { return error.empty(); }
};

// Blank lines and text after '#' are ignored. Times are read by parseSeconds: a time past 100 years
// is a malformed line, never one that wraps round to an early command.
ScriptResult parseRecorderScript(std::string_view text, const std::string& fileName);

class Files;
// Reads and parses a script file (at most 1 MiB), refusing the commands this run cannot carry out:
// faults without the simulated sensor, window commands without a window.
ScriptResult readRecorderScript(Files& files, const std::string& fileName, bool simulatedSensor, bool window);

// The commands that only the simulated sensor can carry out.
inline bool isSimulatorFault(ScriptCommand::Kind kind)
{
    using Kind = ScriptCommand::Kind;
    return kind == Kind::simDrop || kind == Kind::simAway || kind == Kind::simRadioOff || kind == Kind::simRadioOn ||
           kind == Kind::simRefuse || kind == Kind::simShort || kind == Kind::simBattery || kind == Kind::simRssi;
}

// The commands that need the desktop window.
inline bool isWindowCommand(ScriptCommand::Kind kind)
{
    using Kind = ScriptCommand::Kind;
    return kind == Kind::resize || kind == Kind::minimize || kind == Kind::restore || kind == Kind::tap ||
           kind == Kind::tab || kind == Kind::screenshot;
}

// The tab names of the window's tab bar, in tab order.
extern const std::vector<std::string> windowTabs;

// The mark-event dialogs' buttons after "Cancel", in button order.
extern const std::vector<std::string> markActivities;
extern const std::vector<std::string> markFeelings;

// The button a title stands at in such a dialog (1 for the first after Cancel); 0, Cancel, for
// "cancel" or any title the dialog does not offer.
int markButton(const std::vector<std::string>& titles, const std::string& title);

class SensorFaults;
// Carries out a "sim" command. The faults act on the first simulated sensor, the first one listed.
void playSimulatorFault(SensorFaults& faults, const ScriptCommand& command);

} // namespace velorin

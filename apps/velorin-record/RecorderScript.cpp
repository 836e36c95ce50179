#include "RecorderScript.h"

#include "platform/EscapedText.h"
#include "platform/Files.h"
#include "sensor/sim/SensorFaults.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace velorin {

const std::vector<std::string> markActivities = {"Laying", "Sitting", "Standing", "Resting",
                                                  "Walking", "Active",  "Other"};
const std::vector<std::string> markFeelings = {"diziness", "discomfort", "palpitations", "none"};
const std::vector<std::string> windowTabs = {"monitor", "history", "settings"};

namespace {

using Kind = ScriptCommand::Kind;

std::optional<Kind> commandKind(std::string_view word)
{
    static const std::pair<std::string_view, Kind> table[] = {
        {"start", Kind::start},           {"stop", Kind::stop},         {"foreground", Kind::foreground},
        {"background", Kind::background}, {"inactive", Kind::inactive}, {"quit", Kind::quit},
        {"choose", Kind::choose},         {"disconnect", Kind::disconnect}, {"mark", Kind::mark},
        {"offline", Kind::offline},       {"online", Kind::online},     {"zoom", Kind::zoom},
        {"unzoom", Kind::unzoom},         {"lock", Kind::lock},         {"unlock", Kind::unlock},
        {"resize", Kind::resize},         {"minimize", Kind::minimize}, {"restore", Kind::restore},
        {"tap", Kind::tap},               {"tab", Kind::tab},           {"screenshot", Kind::screenshot},
        {"login", Kind::login},           {"dismiss", Kind::dismiss},
    };
    for (const auto& [name, kind] : table)
        if (word == name)
            return kind;
    return std::nullopt;
}

// The blanks of the C locale, so that a script reads the same wherever it runs.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Takes the next word off the front of `line`; empty when none is left.
std::string_view nextWord(std::string_view& line)
{
    const auto start = std::find_if_not(line.begin(), line.end(), isBlank);
    const auto end = std::find_if(start, line.end(), isBlank);
    const std::string_view word(start, end);
    line = std::string_view(end, line.end());
    return word;
}

// A word of the script as it may be shown: bytes that a terminal would act on are escaped.
std::string quoted(std::string_view word)
{
    return "\"" + escapeControl(word) + "\"";
}

std::optional<int> wholeNumber(std::string_view word, int lowest, int highest)
{
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc{} || end != word.data() + word.size() || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

bool isOneOf(std::string_view word, const std::vector<std::string>& choices)
{
    return word == "cancel" || std::find(choices.begin(), choices.end(), word) != choices.end();
}

std::string listed(const std::vector<std::string>& choices)
{
    std::string text;
    for (const auto& choice : choices)
        text += choice + ", ";
    return text + "cancel";
}

// Reads a command's arguments into `command`; the problem when they are wrong.
std::optional<std::string> readArguments(ScriptCommand& command, std::string_view name, std::string_view& line)
{
    switch (command.kind) {
    case Kind::choose: {
        const std::string_view index = nextWord(line);
        if (index.empty()) {
            command.number = -1; // only opens the list
            break;
        }
        const auto number = wholeNumber(index, 0, 9999);
        if (!number)
            return "choose takes a button index from 0 to 9999 and a PIN, not " + quoted(index);
        command.number = *number;
        command.text = std::string(nextWord(line)); // no PIN: an empty one
        break;
    }
    case Kind::mark: {
        const std::string_view activity = nextWord(line);
        const std::string_view feeling = nextWord(line);
        // Without an activity (or a feeling) its dialog is left open.
        if (activity.empty())
            break;
        if (!isOneOf(activity, markActivities))
            return "mark takes an activity (" + listed(markActivities) + "), not " + quoted(activity);
        command.text = std::string(activity);
        if (feeling.empty())
            break;
        if (!isOneOf(feeling, markFeelings))
            return "mark takes a feeling (" + listed(markFeelings) + ") after the activity, not " + quoted(feeling);
        command.feeling = std::string(feeling);
        break;
    }
    case Kind::simAway: {
        const std::string_view seconds = nextWord(line);
        const auto span = parseSeconds(seconds);
        if (!span)
            return "sim away takes a number of seconds from 0 to 100 years, not " + quoted(seconds);
        command.span = *span;
        break;
    }
    case Kind::simBattery: {
        // Any byte the sensor could send, so that odd values can be tried too.
        const std::string_view level = nextWord(line);
        const auto number = wholeNumber(level, 0, 255);
        if (!number)
            return "sim battery takes a level from 0 to 255, not " + quoted(level);
        command.number = *number;
        break;
    }
    case Kind::simRssi: {
        const std::string_view dbm = nextWord(line);
        const auto number = wholeNumber(dbm, -127, 20);
        if (!number)
            return "sim rssi takes a signal strength from -127 to 20 dBm, not " + quoted(dbm);
        command.number = *number;
        break;
    }
    case Kind::lock:
    case Kind::unlock:
    case Kind::screenshot: {
        const std::string_view word = nextWord(line);
        if (word.empty())
            return quoted(name) + (command.kind == Kind::screenshot ? " takes a PNG file" : " takes a passcode");
        command.text = std::string(word);
        break;
    }
    case Kind::resize: {
        // The window's own limits apply on top; 1 x 1 is a fair test of the layout.
        const std::string_view width = nextWord(line);
        const std::string_view height = nextWord(line);
        const auto across = wholeNumber(width, 1, 10000);
        const auto up = wholeNumber(height, 1, 10000);
        if (!across || !up)
            return "resize takes a width and a height from 1 to 10000, not " + quoted(width) + " " + quoted(height);
        command.number = *across;
        command.height = *up;
        break;
    }
    case Kind::tab: {
        const std::string_view tab = nextWord(line);
        if (std::find(windowTabs.begin(), windowTabs.end(), tab) == windowTabs.end())
            return "tab takes monitor, history or settings, not " + quoted(tab);
        command.text = std::string(tab);
        break;
    }
    default:
        break;
    }
    if (nextWord(line).empty())
        return std::nullopt;
    const bool takesArguments = command.kind == Kind::choose || command.kind == Kind::mark ||
                                command.kind == Kind::simAway || command.kind == Kind::simBattery ||
                                command.kind == Kind::simRssi || command.kind == Kind::lock ||
                                command.kind == Kind::unlock || command.kind == Kind::screenshot ||
                                command.kind == Kind::resize || command.kind == Kind::tab;
    return quoted(name) + (takesArguments ? " has too many arguments" : " takes no arguments");
}

std::optional<Kind> simKind(std::string_view word, std::string_view& line)
{
    if (word == "drop")
        return Kind::simDrop;
    if (word == "away")
        return Kind::simAway;
    if (word == "refuse")
        return Kind::simRefuse;
    if (word == "short")
        return Kind::simShort;
    if (word == "battery")
        return Kind::simBattery;
    if (word == "rssi")
        return Kind::simRssi;
    if (word == "radio") {
        const std::string_view state = nextWord(line);
        if (state == "off")
            return Kind::simRadioOff;
        if (state == "on")
            return Kind::simRadioOn;
    }
    return std::nullopt;
}

} // namespace

ScriptResult parseRecorderScript(std::string_view text, const std::string& fileName)
{
    ScriptResult result;
    text = withoutByteOrderMark(text);
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        line = line.substr(0, line.find('#'));
        const std::string_view seconds = nextWord(line);
        if (seconds.empty())
            continue;
        auto fail = [&](const std::string& message) {
            result.error = escapeControl(fileName) + ":" + std::to_string(lineNumber) + ": " + message;
            result.commands.clear();
            return result;
        };
        const auto at = parseSeconds(seconds);
        if (!at)
            return fail(quoted(seconds) + " is not a number of seconds from 0 to 100 years");
        const std::string_view command = nextWord(line);
        if (command.empty())
            return fail("a command is missing after the seconds");
        std::optional<Kind> kind;
        std::string name(command);
        if (command == "amplitude") {
            const std::string_view way = nextWord(line);
            if (way != "up" && way != "down")
                return fail("amplitude takes up or down, not " + quoted(way));
            kind = way == "up" ? Kind::amplitudeUp : Kind::amplitudeDown;
            name += " " + std::string(way);
        } else if (command == "sim") {
            const std::string_view fault = nextWord(line);
            kind = simKind(fault, line);
            if (!kind)
                return fail("unknown sim fault " + quoted(fault) +
                            " (drop, away SECONDS, radio off, radio on, refuse, short, battery LEVEL, rssi DBM)");
            name += " " + std::string(fault);
        } else {
            kind = commandKind(command);
            if (!kind)
                return fail("unknown command " + quoted(command));
        }
        ScriptCommand parsed;
        parsed.at = *at;
        parsed.kind = *kind;
        parsed.line = lineNumber;
        if (const auto problem = readArguments(parsed, name, line))
            return fail(*problem);
        result.commands.push_back(std::move(parsed));
    }
    return result;
}

ScriptResult readRecorderScript(Files& files, const std::string& fileName, bool simulatedSensor, bool window)
{
    std::string text;
    if (const FileResult read = files.readAll(fileName, text, std::size_t{1} << 20); !read.ok)
        return {{}, "cannot read " + escapeControl(fileName) + ": " + read.error};
    ScriptResult script = parseRecorderScript(text, fileName);
    for (const ScriptCommand& command : script.commands) {
        const char* problem = !simulatedSensor && isSimulatorFault(command.kind) ? "sim commands need --sensor sim"
                              : !window && isWindowCommand(command.kind)          ? "window commands need velorin"
                                                                                  : nullptr;
        if (problem)
            return {{}, escapeControl(fileName) + ":" + std::to_string(command.line) + ": " + problem};
    }
    return script;
}

int markButton(const std::vector<std::string>& titles, const std::string& title)
{
    const auto found = std::find(titles.begin(), titles.end(), title);
    return found == titles.end() ? 0 : static_cast<int>(found - titles.begin()) + 1;
}

void playSimulatorFault(SensorFaults& faults, const ScriptCommand& command)
{
    switch (command.kind) {
    case Kind::simDrop:
        faults.dropLink(0);
        break;
    case Kind::simAway:
        faults.goOutOfRange(0, command.span);
        break;
    case Kind::simRadioOff:
    case Kind::simRadioOn:
        faults.setRadioPowered(command.kind == Kind::simRadioOn);
        break;
    case Kind::simRefuse:
        faults.refuseNextConnection(0);
        break;
    case Kind::simShort:
        faults.sendShortPacket(0);
        break;
    case Kind::simBattery:
        faults.setBatteryLevel(0, command.number);
        break;
    case Kind::simRssi:
        faults.setSignalStrength(0, command.number);
        break;
    default:
        break;
    }
}

} // namespace velorin

#include "RecorderOptions.h"

#include "net/Endpoints.h"
#include "platform/EscapedText.h"
#include "platform/LocalTime.h"

#include <charconv>
#include <cmath>

namespace velorin {

const char* const recorderUsage =
    "usage: velorin-record [--documents DIR] [--settings FILE] [--sensor sim|replay:FILE|ble]\n"
    "                      [--sim-bpm N] [--sim-sensors N] [--pin PIN] [--clock real|virtual]\n"
    "                      [--start YYYY-MM-DDTHH:MM:SS]\n"
    "                      [--duration SECONDS] [--script FILE] [--accept-terms] [-v]\n"
    "                      [--login-endpoint URL] [--collection-endpoint URL] [--help] [--version]\n"
    "       velorin-record login --user NAME --password PASSWORD [--settings FILE] [--login-endpoint URL]\n";

const char* const recorderHelp =
    "\n"
    "Records the ECG of a chest-worn Bluetooth LE sensor without a window: the monitor's core, with a console\n"
    "in place of the screen printing one line each time the screen would change.\n"
    "  --documents DIR     where recordings go (default: $XDG_DOCUMENTS_DIR/Velorin, else ~/Documents/Velorin)\n"
    "  --settings FILE     the settings store (default: ~/.config/Velorin/settings.json)\n"
    "  --sensor KIND       sim: simulated sensors (default); replay:FILE: a packet log or .s2 stream played\n"
    "                      back; ble: a real sensor over Bluetooth LE\n"
    "  --sim-bpm N         heart rate of the simulated sensors, 30 to 250 (default: 72)\n"
    "  --sim-sensors N     how many simulated sensors advertise, 0 to 16 (default: 1)\n"
    "  --pin PIN           without a remembered sensor, choose the first one listed, typing this pin\n"
    "  --clock KIND        real: real time (default); virtual: the whole run in virtual time, as fast as it goes\n"
    "  --start TIME        local start time of a virtual run, YYYY-MM-DDTHH:MM:SS (default: now)\n"
    "  --duration SECONDS  stop after that many seconds\n"
    "  --script FILE       timed commands, one a line: SECONDS COMMAND (start, stop, mark, quit, ...)\n"
    "  --accept-terms      accept the terms of use; the recorder runs only once they are accepted\n"
    "  -v, --verbose       also log every value update\n"
    "  --login-endpoint URL\n"
    "                      the login service's http:// or https:// URL in place of the built-in one\n"
    "  --collection-endpoint URL\n"
    "                      where uploads and events go while no server address is stored\n"
    "  -h, --help          print this help and exit\n"
    "  --version           print the version and exit\n"
    "\n"
    "The login command signs in as the login screen does and stores the token, servers and patient\n"
    "identifier it is given in the settings.\n"
    "\n"
    "Exit status: 0 done (also after SIGINT or SIGTERM), 1 the documents directory or the settings cannot be\n"
    "used, 2 a usage error or a bad script or replay, 3 the terms are not accepted, 4 a recording file could\n"
    "not be saved.\n";

namespace {

std::string defaultSettings(const std::string& home)
{
    return home.empty() ? std::string() : home + "/.config/Velorin/settings.json";
}

// An endpoint is a whole http or https URL.
std::optional<std::string> endpointProblem(const std::string& option, const std::string& url)
{
    if (const auto problem = httpUrlProblem(url))
        return option + " takes an http:// or https:// URL, not \"" + escapeControl(url) + "\": " + *problem;
    return std::nullopt;
}

} // namespace

OptionsResult parseRecorderOptions(const std::vector<std::string>& args, const std::string& home,
                                   const std::string& xdgDocuments)
{
    RecorderOptions o;
    // Without a home the defaults stay empty, and the caller asks for both places.
    if (!xdgDocuments.empty())
        o.documents = xdgDocuments + "/Velorin";
    else if (!home.empty())
        o.documents = home + "/Documents/Velorin";
    o.settings = defaultSettings(home);

    auto fail = [](std::string message) { return OptionsResult{std::nullopt, std::move(message)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (arg == "--accept-terms") {
            o.acceptTerms = true;
        } else if (arg == "-v" || arg == "--verbose") {
            o.verbose = true;
        } else if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--pin") {
            // An empty pin is a pin like any other.
            const std::string* v = value();
            if (!v)
                return fail("--pin needs a value");
            o.pin = *v;
        } else if (arg == "--documents" || arg == "--settings" || arg == "--sensor" || arg == "--clock" ||
                   arg == "--start" || arg == "--duration" || arg == "--script" || arg == "--sim-bpm" ||
                   arg == "--sim-sensors" || arg == "--login-endpoint" || arg == "--collection-endpoint") {
            const std::string* v = value();
            if (!v || v->empty())
                return fail(arg + " needs a value");
            if (arg == "--documents") {
                o.documents = *v;
            } else if (arg == "--settings") {
                o.settings = *v;
            } else if (arg == "--sensor") {
                if (*v == "sim") {
                    o.sensor = RecorderOptions::Sensor::sim;
                } else if (*v == "ble") {
                    o.sensor = RecorderOptions::Sensor::ble;
                } else if (v->rfind("replay:", 0) == 0 && v->size() > 7) {
                    o.sensor = RecorderOptions::Sensor::replay;
                    o.replayFile = v->substr(7);
                } else {
                    return fail("--sensor takes sim, replay:FILE or ble, not \"" + *v + "\"");
                }
            } else if (arg == "--clock") {
                if (*v == "real")
                    o.clock = RecorderOptions::ClockKind::real;
                else if (*v == "virtual")
                    o.clock = RecorderOptions::ClockKind::virtualTime;
                else
                    return fail("--clock takes real or virtual, not \"" + *v + "\"");
            } else if (arg == "--start") {
                std::string problem;
                o.start = parseLocalDateTime(*v, &problem);
                if (!o.start)
                    return fail("--start \"" + *v + "\": " + problem +
                                " (a local time YYYY-MM-DDTHH:MM:SS, years 1 to 9999)");
            } else if (arg == "--duration") {
                o.duration = parseSeconds(*v);
                if (!o.duration)
                    return fail("--duration takes a number of seconds up to 100 years, not \"" + *v + "\"");
            } else if (arg == "--script") {
                o.scriptFile = *v;
            } else if (arg == "--login-endpoint" || arg == "--collection-endpoint") {
                if (auto problem = endpointProblem(arg, *v))
                    return fail(*problem);
                (arg == "--login-endpoint" ? o.loginEndpoint : o.collectionEndpoint) = *v;
            } else if (arg == "--sim-bpm") {
                int bpm = 0;
                const auto r = std::from_chars(v->data(), v->data() + v->size(), bpm);
                if (r.ec != std::errc{} || r.ptr != v->data() + v->size() || bpm < 30 || bpm > 250)
                    return fail("--sim-bpm takes a whole number from 30 to 250, not \"" + *v + "\"");
                o.simBpm = bpm;
            } else if (arg == "--sim-sensors") {
                int sensors = 0;
                const auto r = std::from_chars(v->data(), v->data() + v->size(), sensors);
                if (r.ec != std::errc{} || r.ptr != v->data() + v->size() || sensors < 0 || sensors > 16)
                    return fail("--sim-sensors takes a whole number from 0 to 16, not \"" + *v + "\"");
                o.simSensors = sensors;
            }
        } else {
            return fail("unknown argument \"" + arg + "\"");
        }
    }
    if (o.clock == RecorderOptions::ClockKind::virtualTime && o.sensor == RecorderOptions::Sensor::ble)
        return fail("--clock virtual works with --sensor sim or replay, not ble");
    if (o.start && o.clock != RecorderOptions::ClockKind::virtualTime)
        return fail("--start needs --clock virtual");
    // Stamps have four-digit years: a run may not go on past the last second of year 9999.
    if (o.start && o.duration && *o.start + toSeconds(*o.duration) > *parseLocalDateTime("9999-12-31T23:59:59"))
        return fail("--start plus --duration runs past 9999-12-31T23:59:59");
    return {o, {}};
}

LoginOptionsResult parseLoginOptions(const std::vector<std::string>& args, const std::string& home)
{
    LoginOptions o;
    o.settings = defaultSettings(home);
    bool user = false, password = false;
    auto fail = [](std::string message) { return LoginOptionsResult{std::nullopt, std::move(message)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            o.help = true;
            continue;
        }
        if (arg != "--user" && arg != "--password" && arg != "--settings" && arg != "--login-endpoint")
            return fail("login: unknown argument \"" + arg + "\"");
        if (i + 1 >= args.size())
            return fail("login: " + arg + " needs a value");
        const std::string& v = args[++i];
        if (arg == "--user") {
            o.user = v;
            user = true;
        } else if (arg == "--password") {
            o.password = v;
            password = true;
        } else if (arg == "--settings") {
            if (v.empty())
                return fail("login: --settings needs a value");
            o.settings = v;
        } else {
            if (auto problem = endpointProblem(arg, v))
                return fail("login: " + *problem);
            o.loginEndpoint = v;
        }
    }
    if (!o.help && (!user || !password))
        return fail("login needs --user NAME and --password PASSWORD");
    return {o, {}};
}

} // namespace velorin

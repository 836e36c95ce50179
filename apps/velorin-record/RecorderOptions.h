#pragma once

#include "platform/Seconds.h"

#include <optional>
#include <string>
#include <vector>

namespace velorin {

struct RecorderOptions {
    enum class Sensor { sim, replay, ble };
    enum class ClockKind { real, virtualTime };

    std::string documents;
    std::string settings;
    Sensor sensor = Sensor::sim;
    std::string replayFile;
    int simBpm = 72;
    int simSensors = 1;   // sensors named "Nimbo" around the simulated central, besides the decoys
    std::string pin;      // typed into the sensor list when the recorder chooses a sensor itself
    ClockKind clock = ClockKind::real;
    std::optional<double> start; // epoch seconds, virtual clock only
    std::optional<Nanoseconds> duration;
    std::string scriptFile;
    bool acceptTerms = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    // In place of the built-in URLs (kept for the upload and the event submission).
    std::optional<std::string> loginEndpoint;
    std::optional<std::string> collectionEndpoint;
};

struct OptionsResult {
    std::optional<RecorderOptions> options;
    std::string error; // set when options is empty
};

// Reads the command line (without the program name). Documents default to $XDG_DOCUMENTS_DIR/Velorin,
// else ~/Documents/Velorin; settings to ~/.config/Velorin/settings.json. A default that needs a home
// stays empty when `home` is empty.
OptionsResult parseRecorderOptions(const std::vector<std::string>& args, const std::string& home,
                                   const std::string& xdgDocuments);

// velorin-record login --user NAME --password PASSWORD [--settings FILE] [--login-endpoint URL]
struct LoginOptions {
    std::string user;     // may be empty: the login then asks for both fields, as the screen does
    std::string password;
    std::string settings;
    std::optional<std::string> loginEndpoint;
    bool help = false;
};

struct LoginOptionsResult {
    std::optional<LoginOptions> options;
    std::string error; // set when options is empty
};

// Reads the arguments after "login". Settings default as for a recording.
LoginOptionsResult parseLoginOptions(const std::vector<std::string>& args, const std::string& home);

extern const char* const recorderUsage;
// What --help prints after the usage.
extern const char* const recorderHelp;

} // namespace velorin

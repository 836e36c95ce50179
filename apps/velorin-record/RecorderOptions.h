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
    ClockKind clock = ClockKind::real;
    std::optional<double> start; // epoch seconds, virtual clock only
    std::optional<Nanoseconds> duration;
    std::string scriptFile;
    bool acceptTerms = false;
    bool verbose = false;
    bool help = false;
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

extern const char* const recorderUsage;

} // namespace velorin

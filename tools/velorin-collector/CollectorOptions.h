#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velorin {

struct CollectorUser {
    enum class State { active, locked, unverified };
    std::string name;
    std::string password;
    State state = State::active;
};

struct CollectorOptions {
    int port = 0; // 0: a free port, chosen by the system and printed
    std::string dataDir = "velorin-collector-data";
    std::vector<CollectorUser> users;
    double failRate = 0.0;  // share of answers that are a 500
    double emptyRate = 0.0; // share of answers that are a 200 with an empty body
    int delayMs = 0;
    int bodySeconds = 10; // how long a request's body may take to arrive
    bool help = false;
    bool version = false;
};

struct CollectorOptionsResult {
    std::optional<CollectorOptions> options;
    std::string error; // set when options is empty
};

// Reads the command line (without the program name).
CollectorOptionsResult parseCollectorOptions(const std::vector<std::string>& args);

// NAME:PASSWORD[:locked|:unverified]. The name ends at the first ":", so a password may hold ":"
// itself; only a last ":locked" or ":unverified" is taken as the account's state.
std::optional<CollectorUser> parseCollectorUser(const std::string& text);

extern const char* const collectorUsage;

} // namespace velorin

#include "CollectorOptions.h"

#include <charconv>
#include <cmath>

namespace velorin {

const char* const collectorUsage =
    "usage: velorin-collector [--port N] [--data DIR] [--user NAME:PASSWORD[:locked|:unverified]]...\n"
    "                         [--fail-rate P] [--empty-rate P] [--delay-ms N] [--body-seconds N]\n"
    "                         [--help] [--version]\n"
    "\n"
    "A login and collection server on 127.0.0.1 for development, demos and tests.\n"
    "  --port N        port to listen on; 0 (default) picks a free one\n"
    "  --data DIR      where uploads/ and events.jsonl go (default: velorin-collector-data)\n"
    "  --user ...      an account; repeat for more (locked or unverified accounts are refused)\n"
    "  --fail-rate P   answer that share of requests (0 to 1) with status 500, storing nothing\n"
    "  --empty-rate P  answer that share of requests with status 200 and an empty body\n"
    "  --delay-ms N    hold every answer back for N milliseconds (at most 600000)\n"
    "  --body-seconds N  refuse a request whose body takes longer than N seconds (1 to 3600, default 10)\n"
    "  -h, --help      print this help and exit\n"
    "  --version       print the version and exit\n"
    "Prints \"listening on 127.0.0.1:PORT\" once it accepts connections; SIGINT or SIGTERM end it.\n";

namespace {

std::optional<double> parseRate(const std::string& text)
{
    double value = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size() || !std::isfinite(value) || value < 0.0 ||
        value > 1.0)
        return std::nullopt;
    return value;
}

std::optional<int> parseWhole(const std::string& text, int max)
{
    int value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size() || value < 0 || value > max)
        return std::nullopt;
    return value;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

std::optional<CollectorUser> parseCollectorUser(const std::string& text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    CollectorUser user;
    user.name = text.substr(0, colon);
    user.password = text.substr(colon + 1);
    if (endsWith(user.password, ":locked")) {
        user.state = CollectorUser::State::locked;
        user.password.resize(user.password.size() - 7);
    } else if (endsWith(user.password, ":unverified")) {
        user.state = CollectorUser::State::unverified;
        user.password.resize(user.password.size() - 11);
    }
    if (user.password.empty())
        return std::nullopt;
    return user;
}

CollectorOptionsResult parseCollectorOptions(const std::vector<std::string>& args)
{
    CollectorOptions o;
    auto fail = [](std::string message) { return CollectorOptionsResult{std::nullopt, std::move(message)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            o.help = true;
            continue;
        }
        if (arg == "--version") {
            o.version = true;
            continue;
        }
        if (arg != "--port" && arg != "--data" && arg != "--user" && arg != "--fail-rate" && arg != "--empty-rate" &&
            arg != "--delay-ms" && arg != "--body-seconds")
            return fail("unknown argument \"" + arg + "\"");
        if (i + 1 >= args.size() || args[i + 1].empty())
            return fail(arg + " needs a value");
        const std::string& v = args[++i];
        if (arg == "--port") {
            const auto port = parseWhole(v, 65535);
            if (!port)
                return fail("--port takes a whole number from 0 to 65535, not \"" + v + "\"");
            o.port = *port;
        } else if (arg == "--data") {
            o.dataDir = v;
        } else if (arg == "--user") {
            const auto user = parseCollectorUser(v);
            if (!user)
                return fail("--user takes NAME:PASSWORD[:locked|:unverified] with a name and a password, not \"" + v +
                            "\"");
            for (const CollectorUser& known : o.users)
                if (known.name == user->name)
                    return fail("--user \"" + user->name + "\" is given twice");
            o.users.push_back(*user);
        } else if (arg == "--fail-rate" || arg == "--empty-rate") {
            const auto rate = parseRate(v);
            if (!rate)
                return fail(arg + " takes a share from 0 to 1, not \"" + v + "\"");
            (arg == "--fail-rate" ? o.failRate : o.emptyRate) = *rate;
        } else if (arg == "--delay-ms") {
            const auto delay = parseWhole(v, 600000);
            if (!delay)
                return fail("--delay-ms takes a whole number from 0 to 600000, not \"" + v + "\"");
            o.delayMs = *delay;
        } else if (arg == "--body-seconds") {
            const auto seconds = parseWhole(v, 3600);
            if (!seconds || *seconds < 1)
                return fail("--body-seconds takes a whole number from 1 to 3600, not \"" + v + "\"");
            o.bodySeconds = *seconds;
        }
    }
    // One draw decides each answer, so the two shares cannot add up to more than all answers.
    if (o.failRate + o.emptyRate > 1.0)
        return fail("--fail-rate and --empty-rate together may not exceed 1");
    return {o, {}};
}

} // namespace velorin

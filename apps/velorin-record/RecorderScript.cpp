#include "RecorderScript.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace velorin {

namespace {

std::optional<ScriptCommand::Kind> commandKind(const std::string& word)
{
    using Kind = ScriptCommand::Kind;
    static const std::pair<const char*, Kind> table[] = {
        {"start", Kind::start},           {"stop", Kind::stop},         {"foreground", Kind::foreground},
        {"background", Kind::background}, {"inactive", Kind::inactive}, {"quit", Kind::quit},
    };
    for (const auto& [name, kind] : table)
        if (word == name)
            return kind;
    return std::nullopt;
}

} // namespace

ScriptResult parseRecorderScript(std::string_view text, const std::string& fileName)
{
    ScriptResult result;
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string line(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::string seconds, command, extra;
        if (!(words >> seconds))
            continue;
        auto fail = [&](const std::string& message) {
            result.error = fileName + ":" + std::to_string(lineNumber) + ": " + message;
            result.commands.clear();
            return result;
        };
        const auto at = parseSeconds(seconds);
        if (!at)
            return fail("\"" + seconds + "\" is not a number of seconds from 0 to 100 years");
        if (!(words >> command))
            return fail("a command is missing after the seconds");
        const auto kind = commandKind(command);
        if (!kind)
            return fail("unknown command \"" + command + "\"");
        if (words >> extra)
            return fail("\"" + command + "\" takes no arguments");
        result.commands.push_back({*at, *kind, lineNumber});
    }
    return result;
}

} // namespace velorin

#include "RecorderScript.h"

#include "platform/EscapedText.h"

#include <algorithm>
#include <utility>

namespace velorin {

namespace {

std::optional<ScriptCommand::Kind> commandKind(std::string_view word)
{
    using Kind = ScriptCommand::Kind;
    static const std::pair<std::string_view, Kind> table[] = {
        {"start", Kind::start},           {"stop", Kind::stop},         {"foreground", Kind::foreground},
        {"background", Kind::background}, {"inactive", Kind::inactive}, {"quit", Kind::quit},
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
        const auto kind = commandKind(command);
        if (!kind)
            return fail("unknown command " + quoted(command));
        if (!nextWord(line).empty())
            return fail(quoted(command) + " takes no arguments");
        result.commands.push_back({*at, *kind, lineNumber});
    }
    return result;
}

} // namespace velorin

#include "sensor/sim/ReplayUpdate.h"

#include "platform/EscapedText.h"

namespace velorin {

// The file name and the message may hold bytes of the input as they were read (a quoted token, a
// name from the command line); they are made printable here, once, where the text is shown.
std::string describe(const ReplayError& error)
{
    const std::string message = escapeControl(error.message);
    if (error.line > 0)
        return escapeControl(error.file) + ":" + std::to_string(error.line) + ": " + message;
    if (error.offset)
        return escapeControl(error.file) + ": byte " + std::to_string(*error.offset) + ": " + message;
    return message;
}

ReplayResult readAllUpdates(ReplaySource& source)
{
    std::vector<ReplayUpdate> updates;
    while (auto update = source.next())
        updates.push_back(std::move(*update));
    if (source.error())
        return *source.error();
    return updates;
}

} // namespace velorin

#include "sensor/sim/ReplayUpdate.h"

namespace velorin {

std::string describe(const ReplayError& error)
{
    if (error.line > 0)
        return error.file + ":" + std::to_string(error.line) + ": " + error.message;
    if (error.offset)
        return error.file + ": byte " + std::to_string(*error.offset) + ": " + error.message;
    return error.message;
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

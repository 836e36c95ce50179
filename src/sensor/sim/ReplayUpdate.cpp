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

} // namespace velorin

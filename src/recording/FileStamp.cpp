#include "recording/FileStamp.h"

#include "platform/LocalTime.h"

#include <cmath>

namespace velorin {

double dateWith30Seconds(double epochSeconds)
{
    return std::floor((epochSeconds - referenceInstant) / 30.0) * 30.0 + referenceInstant;
}

std::string chunkFileStamp(double epochSeconds)
{
    return formatFileStamp(dateWith30Seconds(epochSeconds));
}

} // namespace velorin

#include "monitor/TracePacer.h"

#include <algorithm>

namespace velorin {

std::size_t TracePacer::framesToAdvance(std::size_t waiting)
{
    const std::size_t overdue = waiting > longestBacklog ? waiting - longestBacklog : 0;
    return std::min(waiting, steadyStep + overdue);
}

} // namespace velorin

#pragma once

#include "sensor/sim/ReplayUpdate.h"

#include <string>
#include <string_view>

namespace velorin {

// Reads a recording stream file (.s2): the packets it recorded, as "2A37" updates 0.112 s apart with
// the first at 0.112 s. Error texts, event annotations and the header are skipped; bytes that belong
// to none of these, or a packet cut short by the end of the file, are reported with their offset.
ReplayResult parseStreamFile(std::string_view bytes, const std::string& fileName);

} // namespace velorin

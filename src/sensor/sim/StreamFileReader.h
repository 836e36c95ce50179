#pragma once

#include "platform/ByteReader.h"
#include "sensor/sim/ReplayUpdate.h"

#include <memory>
#include <string>
#include <string_view>

namespace velorin {

// Reads a recording stream file (.s2): the packets it recorded, as "2A37" updates 0.112 s apart with
// the first at 0.112 s. Error texts, event annotations and the header are skipped; bytes that belong
// to none of these, or a packet cut short by the end of the file, are reported with their offset.
class StreamFileReader : public ReplaySource {
public:
    StreamFileReader(std::unique_ptr<ByteReader> bytes, std::string fileName);
    std::optional<ReplayUpdate> next() override;
    const std::optional<ReplayError>& error() const override { return m_error; }

private:
    std::unique_ptr<ByteReader> m_bytes;
    std::string m_fileName;
    std::optional<ReplayError> m_error;
    // Placeholder: the whole file is parsed at the first next().
    bool m_parsed = false;
    std::vector<ReplayUpdate> m_updates;
    std::size_t m_next = 0;
};

// Every packet of a stream held in memory, or its first problem.
ReplayResult parseStreamFile(std::string_view bytes, const std::string& fileName);

} // namespace velorin

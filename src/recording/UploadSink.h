#pragma once

#include <string>

namespace velorin {

// Where a flush hands the chunk's packet bytes. Called on the Bluetooth queue as the flush's last
// step; the sink takes what it needs and empties uploadBuffer.
class UploadSink {
public:
    virtual ~UploadSink() = default;
    virtual void writeToServer(std::string& uploadBuffer, const std::string& chunkStamp) = 0;
};

} // namespace velorin

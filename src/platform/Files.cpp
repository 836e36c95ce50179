#include "platform/Files.h"

#include "platform/ByteReader.h"

namespace velorin {

namespace {

FileResult readWhole(ByteReader* reader, FileResult result, std::string& bytes, std::size_t maxBytes)
{
    if (!reader)
        return result;
    bytes.clear();
    char block[65536];
    while (const std::size_t n = reader->read(block, sizeof block, result)) {
        if (bytes.size() + n > maxBytes)
            return FileResult::failure("larger than " + std::to_string(maxBytes) + " bytes");
        bytes.append(block, n);
    }
    return result;
}

} // namespace

FileResult Files::readAll(const std::string& path, std::string& bytes, std::size_t maxBytes)
{
    FileResult result;
    const std::unique_ptr<ByteReader> reader = openForReading(path, result);
    return readWhole(reader.get(), result, bytes, maxBytes);
}

FileResult Files::readAllWithoutFollowing(const std::string& path, std::string& bytes, std::size_t maxBytes)
{
    FileResult result;
    const std::unique_ptr<ByteReader> reader = openWithoutFollowing(path, result);
    return readWhole(reader.get(), result, bytes, maxBytes);
}

} // namespace velorin

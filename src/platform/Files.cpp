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

FileResult Files::replaceable(const std::string& path)
{
    const EntryKind kind = entryInfo(path).kind;
    if (kind == EntryKind::missing || kind == EntryKind::regular)
        return FileResult::success();
    return FileResult::failure(kind == EntryKind::directory ? "is a directory" : "not a regular file");
}

FileResult Files::listDirectoryWithDates(const std::string& path, std::string_view datedSuffix,
                                         std::vector<std::string>& names,
                                         std::vector<std::optional<CreationDate>>& dates)
{
    dates.clear();
    FileResult result = listDirectory(path, names);
    std::vector<const std::string*> dated;
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (std::string_view(names[i]).ends_with(datedSuffix)) {
            dated.push_back(&names[i]);
            positions.push_back(i);
        }
    std::vector<std::optional<CreationDate>> found;
    creationDates(path, dated, found);
    dates.resize(names.size());
    for (std::size_t i = 0; i < positions.size() && i < found.size(); ++i)
        dates[positions[i]] = found[i];
    return result;
}

} // namespace velorin

#include "history/HistoryViewerFile.h"

#include "platform/ByteReader.h"
#include "platform/Files.h"

#include <algorithm>
#include <functional>
#include <memory>

namespace velorin::historyfile {

std::string readChunkText(Files& files, const std::string& path, std::string& problem, std::size_t maxBytes)
{
    problem.clear();
    std::string text;
    FileResult result;
    // The documents directory is ours, but a name in it may still be a link or a FIFO put there.
    const std::unique_ptr<ByteReader> reader = files.openWithoutFollowing(path, result);
    if (!reader) {
        problem = result.error;
        return text;
    }
    text.resize(maxBytes + 1);
    std::size_t have = 0;
    while (have < text.size()) {
        const std::size_t n = reader->read(text.data() + have, text.size() - have, result);
        if (n == 0)
            break;
        have += n;
    }
    if (!result.ok)
        problem = result.error;
    text.resize(have);
    if (have > maxBytes) {
        text.resize(maxBytes);
        // A value cut in two would show as a different value.
        const std::size_t lastSpace = text.find_last_of(' ');
        text.resize(lastSpace == std::string::npos ? 0 : lastSpace + 1);
        if (problem.empty())
            problem = "only the first " + std::to_string(maxBytes) + " bytes are shown";
    }
    return text;
}

std::string withoutExtension(const std::string& name)
{
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return name;
    return name.substr(0, dot);
}

std::vector<std::string> recordingNames(Files& files, const std::string& directory)
{
    std::vector<std::string> names;
    // The documents directory may itself be a link the user made; links inside it are not followed.
    if (!files.listDirectory(files.followLinks(directory), names).ok)
        return {};
    std::erase_if(names, [](const std::string& name) { return !name.ends_with(".ecg"); });
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

std::string join(const std::string& directory, const std::string& name)
{
    if (directory.empty() || directory.back() == '/')
        return directory + name;
    return directory + '/' + name;
}

} // namespace velorin::historyfile

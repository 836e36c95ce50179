#pragma once

#include "platform/ByteReader.h"
#include "platform/Files.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace velorin {

// Files in memory, with writes (and removals) that can be made to fail per path. Directories and
// entries of other kinds (links, FIFOs) are names only.
class MemoryFiles : public Files {
public:
    bool exists(const std::string& path) override
    {
        return files.count(path) != 0 || directories.count(path) != 0 || others.count(path) != 0;
    }
    FileResult writeAtomically(const std::string& path, std::string_view bytes, unsigned, bool) override
    {
        if (failing(path))
            return FileResult::failure("No space left on device");
        files[path] = std::string(bytes);
        return FileResult::success();
    }
    FileResult createAtomically(const std::string& path, std::string_view bytes, bool& taken, unsigned = 0644) override
    {
        taken = exists(path);
        return taken ? FileResult::failure("File exists") : writeAtomically(path, bytes, 0644, false);
    }
    FileResult append(const std::string& path, std::string_view bytes) override
    {
        if (failing(path))
            return FileResult::failure("No space left on device");
        files[path].append(bytes);
        return FileResult::success();
    }
    // Appends through the handle reach the file of that name as long as it exists.
    std::unique_ptr<AppendFile> openAppend(const std::string& path, FileResult& result) override
    {
        result = FileResult::success();
        files.try_emplace(path);
        return std::make_unique<Handle>(*this, path);
    }
    std::unique_ptr<ByteReader> openForReading(const std::string& path, FileResult& result) override
    {
        auto it = files.find(path);
        if (it == files.end()) {
            result = FileResult::failure("No such file or directory");
            return nullptr;
        }
        result = FileResult::success();
        return std::make_unique<StringReader>(it->second);
    }
    std::unique_ptr<ByteReader> openWithoutFollowing(const std::string& path, FileResult& result) override
    {
        if (others.count(path) != 0) {
            result = FileResult::failure("not a regular file");
            return nullptr;
        }
        return openForReading(path, result);
    }
    EntryInfo entryInfo(const std::string& path) override
    {
        if (auto it = files.find(path); it != files.end())
            return {EntryKind::regular, it->second.size()};
        if (directories.count(path) != 0)
            return {EntryKind::directory, 0};
        if (auto it = others.find(path); it != others.end())
            return {it->second, 0};
        return {};
    }
    // Only names given a date in creationDates have one; the others cannot be inspected.
    std::optional<CreationDate> creationDate(const std::string& path) override
    {
        auto it = creationDates.find(path);
        if (it == creationDates.end() || !exists(path))
            return std::nullopt;
        return CreationDate{it->second, true};
    }
    FileResult listDirectory(const std::string& path, std::vector<std::string>& names) override
    {
        names.clear();
        if (directories.count(path) == 0)
            return FileResult::failure("No such file or directory");
        const std::string prefix = path + "/";
        auto collect = [&](const std::string& entry) {
            if (entry.compare(0, prefix.size(), prefix) == 0 && entry.find('/', prefix.size()) == std::string::npos)
                names.push_back(entry.substr(prefix.size()));
        };
        for (const auto& [entry, bytes] : files)
            collect(entry);
        for (const auto& entry : directories)
            collect(entry);
        for (const auto& [entry, kind] : others)
            collect(entry);
        return FileResult::success();
    }
    FileResult remove(const std::string& path) override
    {
        if (failing(path))
            return FileResult::failure("Permission denied");
        if (files.erase(path) == 0 && others.erase(path) == 0)
            return FileResult::failure("No such file or directory");
        return FileResult::success();
    }
    FileResult rename(const std::string& from, const std::string& to) override
    {
        auto node = files.extract(from);
        if (node.empty())
            return FileResult::failure("No such file or directory");
        node.key() = to;
        files.insert(std::move(node));
        return FileResult::success();
    }
    FileResult createDirectories(const std::string& path, unsigned) override
    {
        if (failing(path))
            return FileResult::failure("Permission denied");
        directories.insert(path);
        return FileResult::success();
    }

    bool failing(const std::string& path) const
    {
        if (failAll)
            return true;
        for (const auto& ending : failEndings)
            if (path.size() >= ending.size() && path.compare(path.size() - ending.size(), ending.size(), ending) == 0)
                return true;
        return false;
    }

    struct Handle : AppendFile {
        Handle(MemoryFiles& owner, std::string path) : owner(owner), path(std::move(path)) {}
        FileResult append(std::string_view bytes) override { return owner.append(path, bytes); }
        bool stillNamed() override { return owner.files.count(path) != 0; }
        MemoryFiles& owner;
        std::string path;
    };

    std::map<std::string, std::string> files;
    std::set<std::string> directories;
    std::map<std::string, EntryKind> others; // symbolic links, FIFOs, devices
    std::set<std::string> failEndings;
    std::map<std::string, double> creationDates;
    bool failAll = false;
};

} // namespace velorin

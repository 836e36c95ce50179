#pragma once

#include "platform/Files.h"

namespace velorin {

class PosixFiles : public Files {
public:
    bool exists(const std::string& path) override;
    FileResult writeAtomically(const std::string& path, std::string_view bytes, unsigned mode = 0644,
                               bool durable = false) override;
    FileResult createAtomically(const std::string& path, std::string_view bytes, bool& taken,
                                unsigned mode = 0644) override;
    FileResult append(const std::string& path, std::string_view bytes) override;
    std::unique_ptr<AppendFile> openAppend(const std::string& path, FileResult& result) override;
    std::unique_ptr<ByteReader> openForReading(const std::string& path, FileResult& result) override;
    std::unique_ptr<ByteReader> openWithoutFollowing(const std::string& path, FileResult& result) override;
    EntryInfo entryInfo(const std::string& path) override;
    std::optional<CreationDate> creationDate(const std::string& path) override;
    void creationDates(const std::string& directory, const std::vector<const std::string*>& names,
                       std::vector<std::optional<CreationDate>>& dates) override;
    std::optional<std::string> directoryVersion(const std::string& path) override;
    FileResult listDirectory(const std::string& path, std::vector<std::string>& names) override;
    FileResult listDirectoryWithDates(const std::string& path, std::string_view datedSuffix,
                                      std::vector<std::string>& names,
                                      std::vector<std::optional<CreationDate>>& dates) override;
    FileResult remove(const std::string& path) override;
    FileResult rename(const std::string& from, const std::string& to) override;
    FileResult createDirectories(const std::string& path, unsigned mode = 0755) override;
    std::string followLinks(const std::string& path) override;

protected:
    // The creation date of a name relative to an open directory (AT_FDCWD: the working directory).
    virtual std::optional<CreationDate> creationAt(int directory, const char* name);

private:
    // Dates the names ending with *datedSuffix into *dates; neither when datedSuffix is null.
    FileResult list(const std::string& path, const std::string_view* datedSuffix, std::vector<std::string>& names,
                    std::vector<std::optional<CreationDate>>* dates);
};

} // namespace velorin

#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velorin {

struct ReportOptions {
    std::string file;      // a name in the documents directory, or a path
    std::string documents;
    std::string settings;
    std::optional<std::string> pdf;
    std::optional<std::string> edf;
    std::optional<std::string> csv;
    bool help = false;
    bool version = false;
};

struct ReportOptionsResult {
    std::optional<ReportOptions> options;
    std::string error; // set when options is empty
};

// Reads the command line (without the program name). The defaults of --documents and --settings
// follow velorin-record's: $XDG_DOCUMENTS_DIR/Velorin, else ~/Documents/Velorin, and
// ~/.config/Velorin/settings.json; a default that needs a home stays empty when `home` is.
ReportOptionsResult parseReportOptions(const std::vector<std::string>& args, const std::string& home,
                                       const std::string& xdgDocuments);

extern const char* const reportUsage;
// What --help prints after the usage.
extern const char* const reportHelp;

} // namespace velorin

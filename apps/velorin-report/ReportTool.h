#pragma once

#include "ReportOptions.h"
#include "platform/Files.h"

#include <functional>
#include <string>
#include <string_view>

namespace velorin {

struct PdfRequest {
    std::string file; // resolved path of the recording
    std::string out;
    std::string documents;
    std::string settings;
};

// The PDF report, when a build has one: returns the exit status and sets `problem` on failure.
// An empty function answers --pdf with status 2.
using PdfReport = std::function<int(const PdfRequest& request, std::string& problem)>;

constexpr int reportDone = 0;
constexpr int reportFailed = 1; // FILE cannot be read, OUT cannot be written
constexpr int reportUsageError = 2; // usage, or FILE of the wrong kind

// Writes an output whole or not at all: the pieces `produce` hands to its sink go to a temporary file
// beside `out`, which takes the name only when every piece was written. A symbolic link is followed
// and the file it names replaced; anything there other than a regular file is refused. False with
// the reason in `problem` when nothing was written.
bool writeOutput(Files& files, const std::string& out,
                 const std::function<bool(const std::function<bool(std::string_view)>&)>& produce,
                 std::string& problem);

// Writes what the options ask for. `say` receives each message for the user (errors and warnings),
// without the program name and without a line end.
int runReport(const ReportOptions& options, Files& files, const PdfReport& pdf,
              const std::function<void(std::string_view)>& say);

} // namespace velorin

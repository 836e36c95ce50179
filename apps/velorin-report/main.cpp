// velorin-report: a recording's report and exports, without a window. See docs/velorin-report.md for its manual.

#include "PdfReportWriter.h"
#include "ReportOptions.h"
#include "ReportTool.h"
#include "VelorinVersion.h"
#include "platform/EscapedText.h"
#include "platform/HomeDirectory.h"
#include "platform/PosixFiles.h"
#include "platform/StandardStreams.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace velorin;

namespace {

void say(std::string_view message)
{
    std::fprintf(stderr, "velorin-report: %s\n", escapeControl(message).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    openClosedStandardStreams();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ReportOptionsResult parsed = parseReportOptions(args, homeDirectory(), xdgDocumentsDirectory());
    if (!parsed.options) {
        say(parsed.error);
        std::fputs(reportUsage, stderr);
        return reportUsageError;
    }
    if (parsed.options->help) {
        std::fputs(reportUsage, stdout);
        std::fputs(reportHelp, stdout);
        return reportDone;
    }
    if (parsed.options->version) {
        std::printf("velorin-report %s\n", velorinVersion);
        return reportDone;
    }

    PosixFiles files;
    const PdfReport pdf = [&files](const PdfRequest& request, std::string& problem) {
        return writePdfReport(files, request, problem);
    };
    return runReport(*parsed.options, files, pdf, say);
}

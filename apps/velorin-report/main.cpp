// velorin-report: a recording's report and exports, without a window. See README.md for its manual.

#include "PdfReportWriter.h"
#include "ReportOptions.h"
#include "ReportTool.h"
#include "platform/EscapedText.h"
#include "platform/PosixFiles.h"
#include "platform/StandardStreams.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace velorin;

namespace {

// The same homes as velorin-record's: the root is no home, however it is spelt.
bool usableHome(const char* path)
{
    if (!path || path[0] != '/')
        return false;
    const std::filesystem::path home(path);
    std::error_code error;
    return home.lexically_normal() != "/" && !std::filesystem::equivalent(home, "/", error);
}

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); usableHome(home))
        return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        usableHome(found->pw_dir))
        return found->pw_dir;
    return {};
}

std::string xdgDocuments()
{
    const char* value = std::getenv("XDG_DOCUMENTS_DIR");
    return usableHome(value) ? value : "";
}

void say(std::string_view message)
{
    std::fprintf(stderr, "velorin-report: %s\n", escapeControl(message).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    openClosedStandardStreams();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ReportOptionsResult parsed = parseReportOptions(args, homeDirectory(), xdgDocuments());
    if (!parsed.options) {
        say(parsed.error);
        std::fputs(reportUsage, stderr);
        return reportUsageError;
    }
    if (parsed.options->help) {
        std::fputs(reportUsage, stdout);
        return reportDone;
    }

    PosixFiles files;
    const PdfReport pdf = [&files](const PdfRequest& request, std::string& problem) {
        return writePdfReport(files, request, problem);
    };
    return runReport(*parsed.options, files, pdf, say);
}

#include "ReportOptions.h"

namespace velorin {

const char* const reportUsage =
    "usage: velorin-report FILE [--documents DIR] [--settings FILE] [--pdf OUT.pdf] [--edf OUT.edf] [--csv OUT.csv]\n"
    "       velorin-report --help | --version\n"
    "  FILE      a recording in the documents directory, or a path (a .s2 stream for --edf and --csv)\n"
    "  exit status: 0 done, 1 FILE cannot be read or OUT cannot be written, 2 usage or FILE of the wrong kind\n";

const char* const reportHelp =
    "\n"
    "A recording's report and exports, without a window. Every output is written whole or not at all.\n"
    "  --documents DIR  where FILE is looked for (default: $XDG_DOCUMENTS_DIR/Velorin, else ~/Documents/Velorin)\n"
    "  --settings FILE  the profile and report length, only read (default: ~/.config/Velorin/settings.json)\n"
    "  --pdf OUT.pdf    the A4 report of a chunk (.ecg) or an event file (.event)\n"
    "  --edf OUT.edf    the recording stream (.s2) as EDF+, with marked events as annotations\n"
    "  --csv OUT.csv    the recording stream's samples as time,seconds,value lines\n"
    "  -h, --help       print this help and exit\n"
    "  --version        print the version and exit\n";

ReportOptionsResult parseReportOptions(const std::vector<std::string>& args, const std::string& home,
                                       const std::string& xdgDocuments)
{
    ReportOptions o;
    if (!xdgDocuments.empty())
        o.documents = xdgDocuments + "/Velorin";
    else if (!home.empty())
        o.documents = home + "/Documents/Velorin";
    if (!home.empty())
        o.settings = home + "/.config/Velorin/settings.json";

    auto fail = [](std::string message) { return ReportOptionsResult{std::nullopt, std::move(message)}; };
    bool haveFile = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return {o, {}};
        }
        if (arg == "--version") {
            o.version = true;
            return {o, {}};
        }
        if (arg == "--documents" || arg == "--settings" || arg == "--pdf" || arg == "--edf" || arg == "--csv") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return fail(arg + " needs a value");
            const std::string& value = args[++i];
            if (arg == "--documents")
                o.documents = value;
            else if (arg == "--settings")
                o.settings = value;
            else if (std::optional<std::string>& out = arg == "--pdf" ? o.pdf : arg == "--edf" ? o.edf : o.csv; out)
                return fail(arg + " is given twice");
            else
                out = value;
        } else if (arg.starts_with("-") && arg != "-") {
            return fail("unknown option " + arg);
        } else if (haveFile) {
            return fail("one FILE only, not also \"" + arg + "\"");
        } else {
            o.file = arg;
            haveFile = true;
        }
    }
    if (!haveFile || o.file.empty())
        return fail("FILE is missing");
    if (!o.pdf && !o.edf && !o.csv)
        return fail("nothing to write: give --pdf, --edf or --csv");
    return {o, {}};
}

} // namespace velorin

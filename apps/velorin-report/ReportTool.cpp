#include "net/Credentials.h"
#include "ReportTool.h"

#include "PartialOutput.h"

#include "history/CsvWriter.h"
#include "history/EdfWriter.h"
#include "history/HistoryPDFHeader.h"
#include "history/StreamReader.h"
#include "platform/EscapedText.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace velorin {

namespace {

// Far beyond a day-long stream (about 20 MB); a larger file is not a recording of ours.
constexpr std::size_t largestStream = std::size_t{1} << 31;

std::string resolveFile(const ReportOptions& options, Files& files)
{
    if (options.file.find('/') != std::string::npos || options.documents.empty())
        return options.file;
    const std::string inDocuments = options.documents + "/" + options.file;
    return files.exists(inDocuments) || !files.exists(options.file) ? inDocuments : options.file;
}

bool sameFile(const std::string& one, const std::string& other)
{
    std::error_code error;
    return std::filesystem::equivalent(one, other, error);
}

PatientProfile readProfile(Files& files, const std::string& path, const std::function<void(std::string_view)>& say)
{
    PatientProfile patient;
    if (path.empty())
        return patient;
    class SayLog : public Log {
    public:
        explicit SayLog(const std::function<void(std::string_view)>& say) : m_say(say) {}
        void line(std::string_view text) override { m_say("warning: " + std::string(text)); }

    private:
        const std::function<void(std::string_view)>& m_say;
    } log(say);
    const SettingsStore store(files, log, path, SettingsStore::Access::readOnly);
    patient.code = patientId(store).value_or("");
    patient.name = store.text(keys::Name).value_or("");
    patient.gender = storedGender(store);
    return patient;
}

// A temporary name beside `target` that a file system limiting names to 255 bytes still takes
// when the target's own name is near that limit.
std::string temporaryName(const std::string& target, int attempt)
{
    const std::size_t slash = target.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    constexpr std::size_t keptNameBytes = 200;
    std::string temp = target.substr(0, nameAt + std::min(target.size() - nameAt, keptNameBytes));
    temp += ".partial-" + std::to_string(::getpid());
    if (attempt > 0)
        temp += "-" + std::to_string(attempt);
    return temp;
}

} // namespace

bool writeOutput(Files& files, const std::string& out,
                 const std::function<bool(const std::function<bool(std::string_view)>&)>& produce,
                 std::string& problem)
{
    const std::string target = files.followLinks(out);
    if (const FileResult refused = files.replaceable(target); !refused.ok) {
        problem = refused.error;
        return false;
    }
    // Health data: a new output is for its owner only; a replaced one keeps the mode it had.
    const EntryInfo replaced = files.entryInfo(target);
    const unsigned mode = replaced.kind == EntryKind::regular ? replaced.mode : 0600;
    std::string temp;
    FileResult result;
    // A temporary name left by a run that was killed outright, under a process id used again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = temporaryName(target, attempt);
        bool taken = false;
        result = files.createAtomically(temp, {}, taken, mode);
        if (!taken)
            break;
    }
    if (!result.ok) {
        problem = result.error;
        return false;
    }
    removeOnStop(temp);
    std::unique_ptr<AppendFile> file = files.openAppend(temp, result);
    bool written = file && result.ok && produce([&](std::string_view piece) {
        result = file->append(piece);
        return result.ok;
    });
    file.reset();
    if (written) {
        result = files.rename(temp, target);
        written = result.ok;
    }
    if (!written) {
        problem = result.error;
        files.remove(temp);
    }
    removeOnStop({});
    return written;
}

int runReport(const ReportOptions& options, Files& files, const PdfReport& pdf,
              const std::function<void(std::string_view)>& say)
{
    const auto fail = [&](int status, const std::string& message) {
        say(message);
        return status;
    };
    if (options.pdf && !pdf)
        return fail(reportUsageError, "--pdf is not available in this build");
    const std::string path = resolveFile(options, files);
    for (const std::optional<std::string>& out : {options.pdf, options.edf, options.csv})
        if (out && sameFile(*out, path))
            return fail(reportUsageError, "the output " + *out + " would replace the recording itself");

    if (options.edf && options.csv && (*options.edf == *options.csv || sameFile(*options.edf, *options.csv)))
        return fail(reportUsageError, "--edf and --csv name the same file " + *options.edf);

    if ((options.edf || options.csv) && !path.ends_with(".s2"))
        return fail(reportUsageError, "--edf and --csv take a recording stream (.s2), not " + path);

    if (options.pdf && !path.ends_with(".ecg") && !path.ends_with(".event"))
        return fail(reportUsageError, "--pdf takes a chunk (.ecg) or an event file (.event), not " + path);

    if (options.edf || options.csv) {
        // Refused before it is read: reading stops past the limit, but only after taking the
        // limit's worth of memory and time.
        if (const EntryInfo info = files.entryInfo(files.followLinks(path));
            info.kind == EntryKind::regular && info.size > largestStream)
            return fail(reportFailed, "cannot read " + path + ": larger than " + std::to_string(largestStream) + " bytes");
        std::string bytes;
        if (const FileResult read = files.readAll(path, bytes, largestStream); !read.ok)
            return fail(reportFailed, "cannot read " + path + ": " + read.error);
        std::string problem;
        const std::optional<RecordingStream> stream = readRecordingStream(bytes, problem);
        if (!stream)
            return fail(reportFailed, path + ": " + problem);
        for (const std::string& warning : stream->warnings)
            say("warning: " + path + ": " + warning);

        if (options.edf) {
            std::vector<std::string> warnings;
            const std::string edf = edfFile(*stream, readProfile(files, options.settings, say), warnings);
            for (const std::string& warning : warnings)
                say("warning: " + *options.edf + ": " + warning);
            std::string problem;
            if (!writeOutput(files, *options.edf, [&](const auto& sink) { return sink(edf); }, problem))
                return fail(reportFailed, "cannot write " + *options.edf + ": " + problem);
        }
        if (options.csv) {
            std::string problem;
            const bool written = writeOutput(
                files, *options.csv, [&](const auto& sink) { return writeCsv(*stream, sink); }, problem);
            if (!written)
                return fail(reportFailed, "cannot write " + *options.csv + ": " + problem);
        }
    }

    if (options.pdf) {
        std::string problem;
        const int status = pdf(PdfRequest{path, *options.pdf, options.documents, options.settings}, problem);
        if (status != reportDone)
            return fail(status, problem.empty() ? "the PDF report failed" : problem);
    }
    return reportDone;
}

} // namespace velorin

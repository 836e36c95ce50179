// The catalogue on a month of recordings in a real directory: 86,400 ".ecg" chunks (one every 30
// seconds for 30 days) with their ".s2" and ".bpm" companions, all empty. Measures the first
// showing, each kind of picker choice and the marked-events listing on the core controller (with a
// log that discards the per-file lines, and with a real log writing them to /dev/null), and the
// same showing and choices through the Qt page, painted offscreen.
//
// A birth time cannot be set, and every file made here is born within the same few seconds, which
// would put the whole month into one minute of the picker. So the files get the dates of their
// names as modification times (utimensat), and the catalogue reads its dates through a Files
// adapter that makes the very same statx call as the real one but answers with the modification
// time: the system calls, their number and the calendar work per file are those of a real run,
// only the date taken from the answer differs. One more benchmark runs the real adapter on the
// birth times as they are, for its own cost.
//
// The month is made in /tmp/velorin-history-bench, kept for the next run (making it takes several
// seconds) and removed with --cleanup. VELORIN_BENCH_DIR names a month of one's own instead: it is
// only read, never written to or removed.
#include "history/HistoryController.h"
#include "history/qt/HistoryPage.h"
#include "platform/PosixFiles.h"
#include "platform/StreamLog.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QListView>
#include <QListWidget>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace velorin;

constexpr int recordings = 86'400;
constexpr int spacingSeconds = 30;

constexpr const char* madeDirectory = "/tmp/velorin-history-bench";

// The month's files, made once: the marker file is written last.
const std::string& monthDirectory()
{
    static const std::string dir = [] {
        if (const char* own = std::getenv("VELORIN_BENCH_DIR"); own && *own) {
            if (!std::filesystem::is_directory(own)) {
                std::fprintf(stderr, "VELORIN_BENCH_DIR: %s is not a directory\n", own);
                std::exit(2);
            }
            return std::string(own);
        }
        const std::string path = madeDirectory;
        const std::string marker = path + "/.complete";
        if (::access(marker.c_str(), F_OK) == 0)
            return path;
        std::filesystem::create_directories(path);
        std::tm first{};
        first.tm_year = 2026 - 1900;
        first.tm_mon = 10; // November
        first.tm_mday = 1;
        first.tm_isdst = -1;
        const std::time_t start = std::mktime(&first);
        for (int i = 0; i < recordings; ++i) {
            const std::time_t when = start + static_cast<std::time_t>(i) * spacingSeconds;
            std::tm local{};
            localtime_r(&when, &local);
            char stamp[32];
            std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H%M%S", &local);
            const timespec times[2] = {{when, 0}, {when, 0}};
            for (const char* suffix : {".ecg", ".s2", ".bpm"}) {
                const std::string file = path + "/" + stamp + suffix;
                const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                if (fd < 0 || ::futimens(fd, times) != 0) {
                    std::perror(file.c_str());
                    std::exit(1);
                }
                ::close(fd);
            }
        }
        std::FILE* done = std::fopen(marker.c_str(), "w");
        if (done)
            std::fclose(done);
        return path;
    }();
    return dir;
}

// The real adapter's statx, answered with the modification time; see the top of the file. As a
// birth time by default, as a file system with birth times would give it; as a modification time
// standing in for one (a file system without birth times) when asked, which the catalogue cannot
// keep from one choice to the next.
class ModificationDatedFiles : public PosixFiles {
public:
    explicit ModificationDatedFiles(bool asBirth) : m_asBirth(asBirth) {}

protected:
    std::optional<CreationDate> creationAt(int directory, const char* name) override
    {
        struct statx st {};
        if (::statx(directory, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_BTIME | STATX_MTIME, &st) != 0 ||
            !(st.stx_mask & STATX_MTIME))
            return std::nullopt;
        return CreationDate{static_cast<double>(st.stx_mtime.tv_sec) + st.stx_mtime.tv_nsec / 1e9, m_asBirth};
    }

private:
    bool m_asBirth;
};

class QuietLog : public Log {
public:
    void line(std::string_view) override {}
};

struct CountingView : HistoryView {
    void setShown(HistoryOutlet, bool) override {}
    void setRangeSegment(int) override {}
    void reloadAllComponents() override {}
    void reloadData() override {}
    void addNoDataLabel(const std::string&) override {}
    void addColumnCaptions(const std::vector<std::string>&) override {}
    std::string monthNameString(int month) const override { return std::to_string(month); }
};

struct Catalogue {
    explicit Catalogue(Files& files, Log& log)
        : controller(HistoryContext{state, files, log, monthDirectory(), {}}, view)
    {
        controller.viewDidLoad();
    }
    HistoryState state;
    CountingView view;
    HistoryController controller;
};

ModificationDatedFiles g_files(true);
ModificationDatedFiles g_changeableFiles(false);
QuietLog g_quiet;

void reportRows(benchmark::State& bench, const HistoryState& state)
{
    bench.counters["rows"] = static_cast<double>(state.fileList.size());
}

// A new screen each time, which has not looked at the directory yet.
void BM_FirstShowing(benchmark::State& bench)
{
    monthDirectory();
    std::size_t rows = 0;
    for (auto _ : bench) {
        Catalogue c(g_files, g_quiet);
        c.controller.viewDidAppear();
        rows = c.state.fileList.size();
    }
    bench.counters["rows"] = static_cast<double>(rows);
}

// Showing again, with the directory as it was.
void BM_ShowingAgain(benchmark::State& bench)
{
    monthDirectory();
    Catalogue c(g_files, g_quiet);
    c.controller.viewDidAppear();
    for (auto _ : bench)
        c.controller.viewDidAppear();
    reportRows(bench, c.state);
}

// Three listings, each writing a line for each of the 259,201 names.
void BM_ShowingAgainRealLog(benchmark::State& bench)
{
    monthDirectory();
    std::FILE* devNull = std::fopen("/dev/null", "w");
    StreamLog log(devNull);
    log.setVerbose(true);
    Catalogue c(g_files, log);
    c.controller.viewDidAppear();
    for (auto _ : bench)
        c.controller.viewDidAppear();
    reportRows(bench, c.state);
    std::fclose(devNull);
}

// The real adapter on the birth times as they are (all within the seconds the files were made).
void BM_FirstShowingRealBirthTimes(benchmark::State& bench)
{
    monthDirectory();
    PosixFiles files;
    std::size_t rows = 0;
    for (auto _ : bench) {
        Catalogue c(files, g_quiet);
        c.controller.viewDidAppear();
        rows = c.state.fileList.size();
    }
    bench.counters["rows"] = static_cast<double>(rows);
}

// One choice in a column, after a first showing; row 1 where there is one, so that it changes
// something.
void BM_Pick(benchmark::State& bench)
{
    monthDirectory();
    const int component = static_cast<int>(bench.range(0));
    Catalogue c(bench.range(1) ? g_changeableFiles : g_files, g_quiet);
    c.controller.viewDidAppear();
    if (component >= 2)
        c.controller.pickerViewDidSelectRowInComponent(1, 2);
    for (auto _ : bench) {
        const int rows = c.controller.pickerViewNumberOfRowsInComponent(component);
        c.controller.pickerViewDidSelectRowInComponent(rows > 1 ? 1 : 0, component);
    }
    reportRows(bench, c.state);
}

void BM_MarkedEvents(benchmark::State& bench)
{
    monthDirectory();
    Catalogue c(g_files, g_quiet);
    c.controller.viewDidAppear();
    for (auto _ : bench)
        c.controller.markedEventsClick();
    reportRows(bench, c.state);
}

// The Qt page made, shown and painted: the first showing as the user sees it. On the birth times as
// they are, the whole month falls into one minute and the table holds every recording.
void BM_QtFirstShowing(benchmark::State& bench)
{
    monthDirectory();
    PosixFiles realFiles;
    Files& files = bench.range(0) ? static_cast<Files&>(realFiles) : g_files;
    int rows = 0;
    for (auto _ : bench) {
        HistoryState state;
        HistoryPage page(HistoryContext{state, files, g_quiet, monthDirectory(), {}});
        page.resize(1024, 560);
        page.show();
        benchmark::DoNotOptimize(page.grab());
        rows = page.table()->model()->rowCount();
    }
    bench.counters["rows"] = rows;
}

// The Qt page: each iteration hides and shows it (a new showing) and paints it, or picks and paints.
void BM_QtPage(benchmark::State& bench)
{
    monthDirectory();
    const int component = static_cast<int>(bench.range(0));
    HistoryState state;
    HistoryPage page(HistoryContext{state, g_files, g_quiet, monthDirectory(), {}});
    page.resize(1024, 560);
    page.show();
    QApplication::processEvents();
    for (auto _ : bench) {
        if (component < 0) {
            page.hide();
            page.show();
        } else {
            const int rows = page.controller().pickerViewNumberOfRowsInComponent(component);
            page.controller().pickerViewDidSelectRowInComponent(rows > 1 ? 1 : 0, component);
        }
        benchmark::DoNotOptimize(page.grab());
    }
    bench.counters["rows"] = static_cast<double>(page.table()->model()->rowCount());
}

} // namespace

BENCHMARK(BM_FirstShowing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowingAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowingAgainRealLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstShowingRealBirthTimes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pick)
    ->ArgNames({"column", "noBirthTimes"})
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarkedEvents)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtFirstShowing)->ArgName("realBirthTimes")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtPage)->ArgName("column")->DenseRange(-1, 1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--cleanup") == 0) {
            std::filesystem::remove_all(madeDirectory);
            return 0;
        }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

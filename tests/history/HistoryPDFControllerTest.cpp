#include "fakes/FakeLog.h"
#include "fakes/MemoryFiles.h"
#include "history/HistoryPDFController.h"
#include "history/HistoryPDFHeader.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace velorin {
namespace {

// Every call in one ordered list, so that the order of scripts, waits and prints can be checked.
class FakePDFView : public HistoryPDFView {
public:
    void loadPage() override { calls.push_back("load"); }
    void evaluateScript(const std::string& script) override { calls.push_back(script); }
    void askReadyState(std::function<void(const std::string&)> answer) override { ready = answer; }
    void close() override { calls.push_back("close"); }
    void evaluateScriptAndWait(const std::string& script, std::function<void()> done) override
    {
        calls.push_back("wait " + script);
        waited = done;
    }
    void printPdf(std::function<void(std::string)> done) override
    {
        calls.push_back("print");
        printed = done;
    }
    void setBusy(bool busy) override { calls.push_back(busy ? "busy" : "idle"); }
    void share(const std::string& bytes, const std::string& name, std::function<void()> finished) override
    {
        calls.push_back("share " + name + " " + bytes);
        shared = finished;
    }
    void makeToast(const std::string& message) override { calls.push_back("toast " + message); }
    double viewWidth() const override { return 412; }

    std::vector<std::string> calls;
    std::function<void(const std::string&)> ready;
    std::function<void()> waited;
    std::function<void(std::string)> printed;
    std::function<void()> shared;
};

struct Report {
    MemoryFiles files;
    FakeLog log;
    SettingsStore settings{files, log, "/settings.json"};
    FakePDFView view;

    Report() { files.directories.insert("/docs"); }
    HistoryPDFHeader header(const std::string& name = "2015-03-07_142530.ecg")
    {
        return reportHeader(settings, files, "/docs", name);
    }
};

// A value of megabytes is cut, on a character's edge, rather than printed as pages of header; the
// gender's text from a hand-edited file reads as the EDF reads it.
TEST(HistoryPDFControllerTest, HeaderCutsHugeValuesAndReadsTheGenderAsTheEdfDoes)
{
    Report r;
    r.settings.set(keys::Name, std::string(199, 'n') + "\u00e9" + std::string(1 << 20, 'n'));
    EXPECT_EQ(r.header().name, std::string(199, 'n') + "\u2026");
    r.settings.set(keys::Gender, std::string(" +1.0"));
    EXPECT_EQ(storedGender(r.settings), 1);
    EXPECT_EQ(r.header().gender, "Female.");
    r.settings.set(keys::Gender, std::string("woman"));
    EXPECT_EQ(storedGender(r.settings), std::nullopt);
    EXPECT_EQ(r.header().gender, "Male");
}

TEST(HistoryPDFControllerTest, LogoOnlyWhenItsFileIsThereAsAnEncodedFileUrl)
{
    Report r;
    r.files.files["/my docs#1/latest_logo.png"] = "png";
    EXPECT_EQ(reportHeader(r.settings, r.files, "/my docs#1/./x/..//", "x.ecg").logo,
              "file:///my%20docs%231/latest_logo.png");
}

// The page is fed only once complete; one export at a time, shared under the recording's name.
TEST(HistoryPDFControllerTest, FeedsOnceCompleteAndExportsOnce)
{
    Report r;
    r.files.files["/docs/2015-03-07_142530.ecg"] = "500 501 ";
    r.settings.set(keys::PdfLength, std::int64_t{1});
    HistoryPDFController c(r.view, r.settings, r.files, r.log, "/docs", "2015-03-07_142530.ecg");
    c.viewDidLoad(); // asks for an export while the page is still loading
    c.webViewDidFinishLoad();
    r.view.ready("loading");
    EXPECT_EQ(r.view.calls.size(), 1u);
    c.webViewDidFinishLoad();
    r.view.ready("complete");
    ASSERT_EQ(r.view.calls.size(), 6u);
    EXPECT_EQ(r.view.calls[1], "setReportSeconds(20.000000)");
    EXPECT_EQ(r.view.calls[2], "addData(\"500 501 \",\"2015-03-07_142530\")");

    c.exportPdf(); // a second press while the first is being made
    EXPECT_EQ(r.view.calls.size(), 6u);
    r.view.waited();
    r.view.printed("%PDF-1.4");
    EXPECT_EQ(r.view.calls.back(), "share 2015-03-07_142530.pdf %PDF-1.4");
    r.view.shared();
    EXPECT_FALSE(c.busy());
}

TEST(HistoryPDFControllerTest, NoBytesIsToldNeverShared)
{
    Report r;
    HistoryPDFController c(r.view, r.settings, r.files, r.log, "/docs", "missing.ecg");
    c.viewDidLoad();
    c.webViewDidFinishLoad();
    r.view.ready("complete");
    r.view.waited();
    r.view.printed("");
    EXPECT_EQ(std::count(r.view.calls.begin(), r.view.calls.end(), "toast The report could not be created."), 1);
    EXPECT_EQ(r.view.shared, nullptr);
    EXPECT_FALSE(c.busy());
}

} // namespace
} // namespace velorin

#include "fakes/FakeLog.h"
#include "fakes/MemoryFiles.h"
#include "history/HistoryViewerController.h"
#include "history/HistoryViewerFile.h"
#include "history/ScriptCall.h"

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace velorin {
namespace {

class FakeViewerView : public HistoryViewerView {
public:
    void loadPage() override { ++loads; }
    void evaluateScript(const std::string& script) override { scripts.push_back(script); }
    void askReadyState(std::function<void(const std::string&)> answer) override { readyAnswers.push_back(answer); }
    void close() override { closed = true; }
    void setFileName(const std::string& name) override { title = name; }
    void setStepsEnabled(bool enabled) override { stepsEnabled = enabled; }
    void openReport(const std::string& path) override { report = path; }

    // The arguments of the last addData call, decoded as the page would receive them.
    std::pair<std::string, std::string> lastAddData() const
    {
        const std::string& s = scripts.back();
        EXPECT_TRUE(s.starts_with("addData(") && s.ends_with(")")) << s;
        const auto args = nlohmann::json::parse("[" + s.substr(8, s.size() - 9) + "]");
        return {args.at(0).get<std::string>(), args.at(1).get<std::string>()};
    }

    int loads = 0;
    std::vector<std::string> scripts;
    std::vector<std::function<void(const std::string&)>> readyAnswers;
    bool closed = false;
    std::string title;
    bool stepsEnabled = true;
    std::string report;
};

struct Viewer {
    // Opens `path` among `recordings` chunks; unless told to wait, the page's document is complete.
    explicit Viewer(const std::string& path, int recordings = 5, bool complete = true)
    {
        files.directories.insert("/docs");
        // Newest first: position 0 is ..._120004.
        for (int i = 0; i < recordings; ++i)
            files.files["/docs/" + name(i)] = std::to_string(i) + " 500 ";
        files.files["/docs/2024-05-01_120000 Walking  .event"] = "7 7 7 ";
        files.files["/docs/2024-05-01_120000.s2"] = "stream";
        controller = std::make_unique<HistoryViewerController>(view, files, log, "/docs", path);
        controller->viewDidLoad();
        if (complete) {
            controller->webViewDidFinishLoad();
            view.readyAnswers.back()("complete");
        }
    }
    static std::string name(int age) { return "2024-05-01_12000" + std::to_string(4 - age) + ".ecg"; }

    MemoryFiles files;
    FakeLog log;
    FakeViewerView view;
    std::unique_ptr<HistoryViewerController> controller;
};

TEST(HistoryViewerControllerTest, FeedsThePageOnlyOnceItsDocumentIsComplete)
{
    Viewer v(Viewer::name(1), 5, false);
    v.files.files["/docs/" + Viewer::name(1)] = "512 513  514 ";
    EXPECT_EQ(v.view.loads, 1);
    v.controller->webViewDidFinishLoad();
    ASSERT_EQ(v.view.readyAnswers.size(), 1u);
    v.view.readyAnswers[0]("interactive");
    EXPECT_TRUE(v.view.scripts.empty());

    v.controller->webViewDidFinishLoad();
    v.view.readyAnswers[1]("complete");
    ASSERT_EQ(v.view.scripts.size(), 1u);
    EXPECT_EQ(v.view.lastAddData(), std::make_pair(std::string("512 513  514 "), std::string("2024-05-01_120003")));

    // A file gone since the catalogue listed it still gives the page a call, with no samples.
    v.files.files.clear();
    v.controller->webViewDidFinishLoad();
    v.view.readyAnswers[2]("complete");
    EXPECT_EQ(v.view.lastAddData().first, "");
    EXPECT_TRUE(v.log.contains(Viewer::name(1)));
}

TEST(HistoryViewerControllerTest, StepsClampToTheNewestAndOldestAndFeedTheNewFile)
{
    Viewer v(Viewer::name(0));
    v.controller->nextClick();
    EXPECT_EQ(v.controller->path(), Viewer::name(1));
    EXPECT_EQ(v.view.lastAddData(), std::make_pair(std::string("1 500 "), std::string("2024-05-01_120003")));
    // Extreme steps neither wrap nor leave the list.
    v.controller->changePathIndex(INT32_MAX);
    EXPECT_EQ(v.controller->path(), Viewer::name(4));
    v.controller->changePathIndex(INT32_MIN);
    EXPECT_EQ(v.controller->path(), Viewer::name(0));
}

TEST(HistoryViewerControllerTest, AVanishedFileOrEmptyListStepsSafely)
{
    Viewer v(Viewer::name(2));
    // The shown recording was deleted: it counts as before the newest.
    v.files.files.erase("/docs/" + Viewer::name(2));
    v.controller->nextClick();
    EXPECT_EQ(v.controller->path(), Viewer::name(0));

    // No recording left: the viewer stays on its file and does not feed again.
    for (int i = 0; i < 5; ++i)
        v.files.files.erase("/docs/" + Viewer::name(i));
    const std::size_t fed = v.view.scripts.size();
    v.controller->next2Click();
    EXPECT_EQ(v.controller->path(), Viewer::name(0));
    EXPECT_EQ(v.view.scripts.size(), fed);
}

TEST(HistoryViewerControllerTest, HugeOrBinaryFilesReachThePageCappedAndAsValidText)
{
    MemoryFiles files;
    std::string huge;
    while (huge.size() < 3 * historyfile::maxChunkText)
        huge += "1023 ";
    files.files["/docs/big.ecg"] = huge;
    std::string problem;
    const std::string text = historyfile::readChunkText(files, "/docs/big.ecg", problem);
    EXPECT_LE(text.size(), historyfile::maxChunkText);
    EXPECT_GT(text.size(), historyfile::maxChunkText - 5);
    EXPECT_TRUE(text.ends_with("1023 ")); // cut at a whole value
    EXPECT_FALSE(problem.empty());

    // Bytes that are not UTF-8 still make a script the page can run.
    Viewer v(Viewer::name(0));
    v.files.files["/docs/" + Viewer::name(1)] = std::string("12 \xff\xfe\0 '); x(); //\n 13 ", 20);
    v.controller->nextClick();
    EXPECT_NE(v.view.lastAddData().first.find("\xEF\xBF\xBD"), std::string::npos);

    files.others["/docs/fifo.ecg"] = EntryKind::fifo;
    EXPECT_EQ(historyfile::readChunkText(files, "/docs/fifo.ecg", problem), "");
    EXPECT_FALSE(problem.empty());
}

TEST(HistoryViewerScriptTest, HostileValuesStayStringsThatNothingCanEndEarly)
{
    const std::string hostile[] = {
        "'); document.title='x';//",
        "\"); document.title=\"x\";//",
        "back\\slash\\",
        "line\nbreak\r\n\ttab",
        "</script><script>alert(1)</script>",
        "sep\xE2\x80\xA8para\xE2\x80\xA9",
        std::string("nul\0byte", 8),
        "M\xC3\xBCller \xE6\x97\xA5",
    };
    for (const std::string& value : hostile) {
        const std::string script = ScriptCall("addData").text(value).text("n").str();
        ASSERT_TRUE(script.starts_with("addData(\"") && script.ends_with(",\"n\")")) << script;
        // Nothing that would end the literal, the line or an enclosing script element.
        EXPECT_EQ(script.find("</"), std::string::npos) << script;
        EXPECT_EQ(script.find('\n'), std::string::npos) << script;
        EXPECT_EQ(script.find('\r'), std::string::npos) << script;
        EXPECT_EQ(script.find("\xE2\x80\xA8"), std::string::npos) << script;
        EXPECT_EQ(script.find("\xE2\x80\xA9"), std::string::npos) << script;
        EXPECT_EQ(script.find('\0'), std::string::npos) << script;
        // And the page receives exactly the value ("<\/" is "</" in a JavaScript string, as in JSON).
        const auto args = nlohmann::json::parse("[" + script.substr(8, script.size() - 9) + "]");
        EXPECT_EQ(args.at(0).get<std::string>(), value);
    }
}

} // namespace
} // namespace velorin

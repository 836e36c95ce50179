#include "history/ScriptCall.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <string>

namespace velorin {
namespace {

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

// Exact numbers are in the report controller's calls; what no screen sends is a number that is none,
// or text that is not UTF-8 (each bad byte becomes one replacement character).
TEST(HistoryViewerScriptTest, NumbersThatAreNoneAndBytesThatAreNotTextStillMakeAValidCall)
{
    EXPECT_EQ(ScriptCall("f").text("a\xFF\xFE" "b\xC3").str(), "f(\"a\xEF\xBF\xBD\xEF\xBF\xBD" "b\xEF\xBF\xBD\")");
    EXPECT_EQ(ScriptCall("returnWidth").number(std::nan("")).str(), "returnWidth(0.000000)");
    EXPECT_EQ(ScriptCall("returnWidth").number(-std::numeric_limits<double>::infinity()).str(),
              "returnWidth(0.000000)");
}

} // namespace
} // namespace velorin

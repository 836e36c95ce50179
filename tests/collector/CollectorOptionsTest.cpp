#include "CollectorOptions.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(CollectorOptions, BadValuesAreRefusedWithAReason)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--port", "65536"},
             {"--port", "80x"},
             {"--port"},
             {"--data", ""},
             {"--user", "ana"},
             {"--user", "ana:"},
             {"--user", "ana::locked"},
             {"--user", "ana:a", "--user", "ana:b"},
             {"--fail-rate", "1.5"},
             {"--empty-rate", "-0.1"},
             {"--fail-rate", "0.7", "--empty-rate", "0.4"},
             {"--delay-ms", "600001"},
             {"--bind", "0.0.0.0"},
         }) {
        const auto r = parseCollectorOptions(args);
        EXPECT_FALSE(r.options) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(r.error.empty());
    }
}

} // namespace
} // namespace velorin

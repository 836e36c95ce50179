#include "CollectorOptions.h"
#include "FaultInjector.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(CollectorOptions, ValuesAndUsersAreRead)
{
    const auto r = parseCollectorOptions({"--port", "8092", "--data", "/tmp/c", "--user", "ana:pa:ss", "--user",
                                          "bo:pw:locked", "--user", "cy:pw:unverified", "--fail-rate", "0.3",
                                          "--empty-rate", "0.1", "--delay-ms", "250"});
    ASSERT_TRUE(r.options) << r.error;
    const CollectorOptions& o = *r.options;
    EXPECT_EQ(o.port, 8092);
    ASSERT_EQ(o.users.size(), 3u);
    EXPECT_EQ(o.users[0].password, "pa:ss"); // only the first colon splits, a known state ends it
    EXPECT_EQ(o.users[0].state, CollectorUser::State::active);
    EXPECT_EQ(o.users[1].state, CollectorUser::State::locked);
    EXPECT_EQ(o.users[2].state, CollectorUser::State::unverified);
    EXPECT_DOUBLE_EQ(o.failRate, 0.3);
    EXPECT_DOUBLE_EQ(o.emptyRate, 0.1);
    EXPECT_EQ(o.delayMs, 250);
}

TEST(CollectorOptions, BadValuesAreRefusedWithAReason)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--port", "65536"},
             {"--port", "-1"},
             {"--port", "80x"},
             {"--port"},
             {"--data", ""},
             {"--user", "ana"},
             {"--user", ":pw"},
             {"--user", "ana:"},
             {"--user", "ana::locked"},
             {"--user", "ana:a", "--user", "ana:b"},
             {"--fail-rate", "1.5"},
             {"--fail-rate", "nan"},
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

TEST(FaultInjector, RatesAreTheSharesOfAnswers)
{
    FaultInjector never(0.0, 0.0, 1);
    FaultInjector always(1.0, 0.0, 1);
    FaultInjector empty(0.0, 1.0, 1);
    FaultInjector mixed(0.3, 0.1, 42);
    int failed = 0, emptied = 0;
    constexpr int draws = 20000;
    for (int i = 0; i < draws; ++i) {
        EXPECT_EQ(never.draw(), FaultInjector::Fault::none);
        EXPECT_EQ(always.draw(), FaultInjector::Fault::fail);
        EXPECT_EQ(empty.draw(), FaultInjector::Fault::empty);
        const auto fault = mixed.draw();
        failed += fault == FaultInjector::Fault::fail;
        emptied += fault == FaultInjector::Fault::empty;
    }
    // Seeded, so the counts are fixed; the bounds only say what a correct split looks like.
    EXPECT_NEAR(failed, 0.3 * draws, 0.02 * draws);
    EXPECT_NEAR(emptied, 0.1 * draws, 0.02 * draws);
}

} // namespace
} // namespace velorin

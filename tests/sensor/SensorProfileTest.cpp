#include "sensor/SensorProfile.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(SensorProfile, OnlyTheExactNameIsOurs)
{
    EXPECT_TRUE(profile::isSensorName("Nimbo"));
    for (const char* other : {"nimbo", "NIMBO", "Nimbo2", "Nimbo ", "", "Nimb"})
        EXPECT_FALSE(profile::isSensorName(other)) << other;
}

} // namespace
} // namespace velorin

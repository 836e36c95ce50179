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

TEST(SensorProfile, ControlPointCarriesThePinAfterTheCommand)
{
    EXPECT_EQ(profile::controlPointValue(""), std::string("\x07\x04", 2));
    EXPECT_EQ(profile::controlPointValue("0042"), std::string("\x07\x04" "0042", 6));
}

} // namespace
} // namespace velorin

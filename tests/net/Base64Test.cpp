#include "net/Base64.h"

#include <gtest/gtest.h>


namespace velorin {
namespace {

TEST(Base64, AnythingButStrictStandardBase64IsRefused)
{
    // Wrong length, padding left off, a line break, a space, the URL alphabet, padding before the end,
    // three padding characters, padding where data must be, nothing but padding, data after padding,
    // stray bits under two or one padding characters.
    for (const char* text : {"Zm9vYg=", "Zm9vYg", "Zm9v\nYmFy", "Zm9v YmFy", "Zm9-YmFy", "Zm9_YmFy", "Zm==YmFy",
                             "Zm9vY===", "Z===", "====", "Zm9vY=Fy", "Zm9vYh==", "Zm9vYmF="})
        EXPECT_FALSE(decodeBase64(text)) << text;
    EXPECT_FALSE(decodeBase64(std::string("Zm9v\0mFy", 8)));
}

} // namespace
} // namespace velorin

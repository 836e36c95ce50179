#include "net/Base64.h"

#include <gtest/gtest.h>

#include <random>

namespace velorin {
namespace {

TEST(Base64, KnownTextsAndEveryTailLengthRoundTrip)
{
    // RFC 4648's own examples.
    EXPECT_EQ(encodeBase64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(encodeBase64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(encodeBase64("foob"), "Zm9vYg==");
    EXPECT_EQ(decodeBase64("Zm9vYg=="), "foob");
    EXPECT_EQ(decodeBase64(""), "");
    EXPECT_EQ(decodeBase64("+/+/"), std::string("\xFB\xFF\xBF", 3));

    std::mt19937 random(7);
    for (std::size_t length = 0; length < 70; ++length) {
        std::string bytes(length, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        const std::string text = encodeBase64(bytes);
        EXPECT_EQ(text.size() % 4, 0u);
        EXPECT_EQ(decodeBase64(text), bytes) << length;
    }
}

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

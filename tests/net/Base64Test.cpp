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
    for (const char* text : {
             "Zm9vYg=",    // length not a multiple of four
             "Zm9vYg",     // padding left off
             "Zm9v\nYmFy", // a line break
             "Zm9v YmFy",  // a space
             "Zm9-YmFy",   // URL alphabet
             "Zm9_YmFy",   // URL alphabet
             "Zm==YmFy",   // padding before the end
             "Zm9vY===",   // three padding characters
             "Z===",       // padding where data must be
             "====",       // nothing but padding
             "Zm9vY=Fy",   // data after padding
             "Zm9vYh==",   // stray bits under the padding
             "Zm9vYmF=",   // stray bits under one padding character
         })
        EXPECT_FALSE(decodeBase64(text)) << text;
    EXPECT_FALSE(decodeBase64(std::string("Zm9v\0mFy", 8)));
}

} // namespace
} // namespace velorin

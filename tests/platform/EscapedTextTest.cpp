#include "platform/EscapedText.h"

#include "platform/PrintableText.h"

#include <gtest/gtest.h>

#include <random>

namespace velorin {
namespace {

using namespace std::string_literals;

TEST(EscapedText, ControlBytesAndBrokenUtf8AreEscapedWhileTextStays)
{
    EXPECT_EQ(escapeControl("2A37: 01 ff # ok"), "2A37: 01 ff # ok");
    EXPECT_EQ(escapeControl("séance Größe 心 😀"), "séance Größe 心 😀");
    EXPECT_EQ(escapeControl("a\0b"s), "a\\x00b");
    EXPECT_EQ(escapeControl("\x1B[2J\r\n\t\x7F"), "\\x1B[2J\\x0D\\x0A\\x09\\x7F");
    // C1 controls are valid UTF-8, but some terminals obey U+009B as the start of a command.
    EXPECT_EQ(escapeControl("\xC2\x9B"s + "31m"), "\\xC2\\x9B31m");
    EXPECT_EQ(escapeControl("abc\xE2\x80\xAE" "fdp.exe"), "abc\\xE2\\x80\\xAEfdp.exe"); // right-to-left override
}

TEST(EscapedText, AnyBytesComeOutPrintableAndASecondEscapeChangesNothing)
{
    std::mt19937 random(20170527);
    // Mostly bytes that start or continue UTF-8 sequences, so that valid and broken ones both occur.
    const std::string alphabet = "\x00\x1F\x20\\\x7F\x80\x9B\xBF\xC2\xC3\xDF\xE0\xE2\xED\xEF\xF0\xF4\xF5\xFF"s;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(std::uniform_int_distribution<std::size_t>(0, 12)(random), '\0');
        for (char& byte : bytes)
            byte = random() % 2 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
        const std::string shown = escapeControl(bytes);
        ASSERT_TRUE(test::isPrintable(shown)) << shown;
        ASSERT_EQ(escapeControl(shown), shown) << shown;
    }
}

} // namespace
} // namespace velorin

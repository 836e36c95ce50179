#include "FormBody.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(FormBody, FieldsArePercentDecoded)
{
    const FormBody form = parseFormBody("Username=ana+maria&Password=a%26b%3Dc%2Bd%25+%C3%A9");
    ASSERT_TRUE(form.ok()) << form.error;
    EXPECT_EQ(form.fields.at("Username"), "ana maria");
    EXPECT_EQ(form.fields.at("Password"), "a&b=c+d% \xC3\xA9");

    // Only the first "=" splits; empty pairs and fields without a value are harmless.
    const FormBody loose = parseFormBody("&Password=x=y&&flag&Username=");
    ASSERT_TRUE(loose.ok()) << loose.error;
    EXPECT_EQ(loose.fields.at("Password"), "x=y");
    EXPECT_EQ(loose.fields.at("flag"), "");
    EXPECT_EQ(loose.fields.at("Username"), "");
    EXPECT_TRUE(parseFormBody("").fields.empty());
}

TEST(FormBody, BrokenEscapesAndRepeatedFieldsSpoilTheForm)
{
    for (const char* body : {"Password=%", "Password=%4", "Password=%G1", "Pass%word=x", "Username=a%2"})
        EXPECT_FALSE(parseFormBody(body).ok()) << body;
    // Decoded names count: a second "Password" spelt with an escape is still a second one.
    const FormBody twice = parseFormBody("Password=a&Pass%77ord=b");
    EXPECT_FALSE(twice.ok());
    EXPECT_NE(twice.error.find("Password"), std::string::npos);
}

} // namespace
} // namespace velorin

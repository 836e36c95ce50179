#include "FormBody.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

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

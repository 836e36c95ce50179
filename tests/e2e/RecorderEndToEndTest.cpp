#include <gtest/gtest.h>
TEST(RecorderEndToEnd, Placeholder) {}

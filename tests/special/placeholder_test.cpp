#include <gtest/gtest.h>
#include "special/special.h"
TEST(Placeholder, Builds) { EXPECT_EQ(kvz::factorial(5), 120.0); }

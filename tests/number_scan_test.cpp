#include "dmna/number_scan.h"

#include <gtest/gtest.h>
TEST(X, Y) { EXPECT_EQ(1.0, 1.0); }

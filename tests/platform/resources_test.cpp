#include "platform/Resources.h"

#include <gtest/gtest.h>

TEST(Resources, MissingResourceIsEmpty) {
    TResourceData r;
    r.size = 7;
    EXPECT_FALSE(FindResourceData("NO_SUCH_RESOURCE", rt_stream, r));
    EXPECT_EQ(r.data, nullptr);
    EXPECT_EQ(r.size, 0u);
}

// CGBuffer: text appended past its capacity keeps what it held.
#include "core/gbuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GBufferTest, AppendKeepsContentAcrossGrowth) {
    CGBuffer buffer;
    buffer.Append("abcde");
    const std::string big(3000, 'q');
    EXPECT_EQ(buffer.Append(big.c_str()), 3005);
    EXPECT_GE(buffer.Capacity(), 3005);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), 3005), "abcde" + big);
}

}  // namespace

// CGBuffer: insertion, within its capacity and past it.
#include "core/gbuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GBufferTest, InsertShiftsTheTailAndKeepsContentAcrossGrowth) {
    CGBuffer buffer;
    buffer.Insert(0, "0123456789", 10);
    EXPECT_EQ(buffer.Insert(0, "abcde", 5), 15);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), 15), "abcde0123456789");
    EXPECT_EQ(buffer.Insert(7, "XY", 2), 17);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), 17), "abcde01XY23456789");

    std::string big(3000, 'q');
    EXPECT_EQ(buffer.Insert(buffer.Size(), big.data(), 3000), 3017);
    EXPECT_GE(buffer.Capacity(), 3017);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), 5), "abcde");
    EXPECT_EQ(buffer.Data()[3016], 'q');
}

}  // namespace

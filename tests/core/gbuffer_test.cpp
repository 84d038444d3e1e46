// CGBuffer: capacity steps and insertion.
#include "core/gbuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GBufferTest, ReserveGrowsInSteps) {
    struct Case {
        int needed;
        int capacity;
    } cases[] = {{0, 1024}, {1024, 1024}, {1025, 2048}, {3000, 3072}, {4096, 4096}};
    for (const auto& c : cases) {
        CGBuffer buffer;
        EXPECT_EQ(buffer.Reserve(c.needed), c.capacity) << c.needed;
        EXPECT_EQ(buffer.Size(), 0);
    }
}

TEST(GBufferTest, InsertShiftsTheTailAndKeepsContentAcrossGrowth) {
    CGBuffer buffer;
    buffer.Insert(0, "0123456789", 10);
    EXPECT_EQ(buffer.Insert(0, "abcde", 5), 15);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), 15), "abcde0123456789");
    EXPECT_EQ(buffer.Insert(7, "XY", 2), 17);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), 17), "abcde01XY23456789");

    std::string big(3000, 'q');
    EXPECT_EQ(buffer.Insert(buffer.Size(), big.data(), 3000), 3017);
    EXPECT_EQ(buffer.Capacity(), 3072);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), 5), "abcde");
    EXPECT_EQ(buffer.Data()[3016], 'q');
}

}  // namespace

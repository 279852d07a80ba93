#include "net/buffer.h"

#include <gtest/gtest.h>
#include <string>

TEST(TBuffer, AppendStopsAtCapacity)
{
    TBuffer block(10);
    EXPECT_EQ(block.Append("0123456", 7), 7);
    EXPECT_EQ(block.Append("789abc", 6), 3);
    EXPECT_EQ(block.Append("x", 1), 0);
    const auto [data, length] = block.Peek();
    EXPECT_EQ(std::string(data, static_cast<size_t>(length)), "0123456789");
}

TEST(TBuffer, ConsumedSpaceIsReusedOnlyOnceDrained)
{
    TBuffer block(4);
    block.Append("abcd", 4);
    EXPECT_EQ(block.Consume(3), 3);
    EXPECT_EQ(block.Append("e", 1), 0);
    EXPECT_EQ(block.Consume(5), 1);
    EXPECT_EQ(block.Peek().second, 0);
    EXPECT_EQ(block.Peek().first, nullptr);
    EXPECT_EQ(block.Append("efgh", 4), 4);
}

TEST(TBuffer, ResizeKeepsUnsentBytesAndDefaultsTo1514)
{
    TBuffer block(0);
    EXPECT_EQ(block.Capacity(), 1514);
    block.Append("hello", 5);
    block.Consume(1);
    block.Resize(8);
    EXPECT_EQ(block.Capacity(), 8);
    const auto [data, length] = block.Peek();
    EXPECT_EQ(std::string(data, static_cast<size_t>(length)), "ello");
}

TEST(TBuffer, ShrinkingBelowTheWrittenBytesKeepsWhatFits)
{
    TBuffer block(10);
    block.Append("0123456789", 10);
    block.Resize(4);
    const auto [data, length] = block.Peek();
    EXPECT_EQ(std::string(data, static_cast<size_t>(length)), "0123");
}

// The hand-over queue: one wake-up per idle period, order kept, bounded in
// bytes with every drop counted, and safe between two threads.
#include <gtest/gtest.h>

#include <thread>

#include "link/datagram_queue.h"

namespace vornik::test {
namespace {

Datagram Numbered(uint32_t n, size_t size = 21)
{
    Datagram d;
    d.bytes.assign(size, 0);
    d.bytes[0] = uint8_t(n);
    d.bytes[1] = uint8_t(n >> 8);
    d.bytes[2] = uint8_t(n >> 16);
    return d;
}

uint32_t NumberOf(const Datagram& d) { return d.bytes[0] | d.bytes[1] << 8 | d.bytes[2] << 16; }

TEST(DatagramQueue, WakesOnceUntilTheConsumerFindsItEmpty)
{
    DatagramQueue queue;
    EXPECT_TRUE(queue.Push(Numbered(1)));
    EXPECT_FALSE(queue.Push(Numbered(2)));
    EXPECT_FALSE(queue.Push(Numbered(3)));
    std::vector<Datagram> batch;
    ASSERT_TRUE(queue.Take(batch, 2));
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_EQ(NumberOf(batch[0]), 1u);
    EXPECT_EQ(NumberOf(batch[1]), 2u);
    // Still woken while the consumer has not seen the queue empty.
    EXPECT_FALSE(queue.Push(Numbered(4)));
    ASSERT_TRUE(queue.Take(batch, 10));
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_EQ(NumberOf(batch[1]), 4u);
    EXPECT_FALSE(queue.Take(batch, 10));
    EXPECT_TRUE(batch.empty());
    EXPECT_TRUE(queue.Push(Numbered(5))); // found empty: the next one wakes again
    EXPECT_EQ(queue.Dropped(), 0u);
}

TEST(DatagramQueue, BoundInBytesDropsAndCountsWhatDoesNotFit)
{
    const size_t cost = DatagramQueue::Cost(Numbered(0));
    DatagramQueue queue(cost * 3);
    for (uint32_t n = 0; n < 5; ++n) queue.Push(Numbered(n));
    EXPECT_EQ(queue.Dropped(), 2u);
    EXPECT_EQ(queue.Bytes(), cost * 3);
    std::vector<Datagram> batch;
    ASSERT_TRUE(queue.Take(batch, 10));
    ASSERT_EQ(batch.size(), 3u);
    EXPECT_EQ(NumberOf(batch[2]), 2u); // the oldest stay, the newest go
    EXPECT_EQ(queue.Bytes(), 0u);
    // Room again after the consumer took its share; a bigger datagram costs more.
    queue.Push(Numbered(9, 1024));
    EXPECT_EQ(queue.Dropped(), 3u);
    queue.Push(Numbered(10));
    EXPECT_EQ(queue.Dropped(), 3u);
}

TEST(DatagramQueue, ResetEmptiesAndForgetsTheWakeUp)
{
    DatagramQueue queue;
    EXPECT_TRUE(queue.Push(Numbered(1)));
    queue.Reset();
    EXPECT_EQ(queue.Bytes(), 0u);
    EXPECT_TRUE(queue.Push(Numbered(2)));
}

TEST(DatagramQueue, TwoThreadsKeepOrderAndLoseNothingWithinTheBound)
{
    constexpr uint32_t kCount = 200000;
    DatagramQueue queue(size_t(1) << 30);
    std::thread producer([&] {
        for (uint32_t n = 0; n < kCount; ++n) queue.Push(Numbered(n));
    });
    std::vector<Datagram> batch;
    uint32_t next = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (next < kCount && std::chrono::steady_clock::now() < deadline) {
        if (!queue.Take(batch, 256)) continue;
        for (const Datagram& d : batch) ASSERT_EQ(NumberOf(d), next++);
    }
    producer.join();
    EXPECT_EQ(next, kCount);
    EXPECT_EQ(queue.Dropped(), 0u);
}

} // namespace
} // namespace vornik::test

// The hand-over queue: one wake-up per idle period, order kept, bounded in
// bytes with every drop counted, and safe between two threads.
#include <gtest/gtest.h>

#include <chrono>
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

// A window's slice: every waiting datagram in order, a call after each chunk,
// and when the slice runs out the rest stays queued with the wake-up still
// counted, so that nothing is lost and nothing handled twice.
TEST(HandOverSlice, TakesChunksInOrderAndStopsWhenItsTimeIsUp)
{
    const struct {
        const char* what;
        uint32_t waiting;
        bool slow;              // the first datagram takes longer than a slice
        bool more;              // the slice ran out first
        uint32_t handled;
        int chunks;
    } rows[] = {
        {"nothing waiting", 0, false, false, 0, 0},
        {"fewer than a chunk", 5, false, false, 5, 1},
        {"two chunks and a part", 2 * uint32_t(kHandOverChunk) + 44, false, false, 2 * uint32_t(kHandOverChunk) + 44, 3},
        {"a slow first chunk ends the slice", 2 * uint32_t(kHandOverChunk), true, true, uint32_t(kHandOverChunk), 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        DatagramQueue queue;
        for (uint32_t n = 0; n < row.waiting; ++n) queue.Push(Numbered(n));
        std::vector<Datagram> batch;
        std::vector<uint32_t> handled;
        int chunks = 0;
        const bool more = HandOverSlice(
            queue, batch,
            [&](const Datagram& d) {
                if (row.slow && handled.empty()) {
                    const auto until = std::chrono::steady_clock::now() + kHandOverSlice + std::chrono::milliseconds(2);
                    while (std::chrono::steady_clock::now() < until) {
                    }
                }
                handled.push_back(NumberOf(d));
            },
            [&] { ++chunks; });
        EXPECT_EQ(more, row.more);
        EXPECT_EQ(chunks, row.chunks);
        ASSERT_EQ(handled.size(), row.handled);
        for (uint32_t n = 0; n < row.handled; ++n) EXPECT_EQ(handled[n], n);
        EXPECT_TRUE(batch.empty());
        // What the slice left is next, in order; a push now wakes no one,
        // as the caller comes back anyway.
        std::vector<Datagram> rest;
        if (row.more) {
            EXPECT_FALSE(queue.Push(Numbered(row.waiting)));
            ASSERT_TRUE(queue.Take(rest, 1));
            EXPECT_EQ(NumberOf(rest.front()), row.handled);
        } else {
            EXPECT_FALSE(queue.Take(rest, 1));
        }
    }
}

} // namespace
} // namespace vornik::test

// The hand-over between the receive thread and the thread that handles
// datagrams: a queue bounded in bytes, with one wake-up for however many
// datagrams are waiting. What does not fit is counted, never held.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "link/udp_link.h"

namespace vornik {

class DatagramQueue {
public:
    // What a search reply costs held in the queue is about 130 bytes, so the
    // default holds a search answered by 100,000 devices while the window
    // catches up; a flood beyond that is dropped at the door.
    static constexpr size_t kDefaultMaxBytes = 16 * 1024 * 1024;

    explicit DatagramQueue(size_t maxBytes = kDefaultMaxBytes) : m_maxBytes(maxBytes) {}

    // Receive thread. Returns true when the consumer has to be woken: the
    // first datagram after the consumer found the queue empty. A datagram
    // that would take the queue past its bound is dropped and counted.
    bool Push(Datagram&& datagram);

    // Consumer. Moves up to maxCount datagrams, oldest first, into out (which
    // it clears first). Returns false when nothing was waiting; from then on
    // the next Push wakes the consumer again.
    bool Take(std::vector<Datagram>& out, size_t maxCount);

    // Empties the queue and forgets any wake-up in flight (a new consumer).
    void Reset();

    // Datagrams dropped at the bound since the queue was made.
    uint64_t Dropped() const { return m_dropped.load(std::memory_order_relaxed); }
    size_t Bytes() const;
    size_t MaxBytes() const { return m_maxBytes; }

    // What one datagram is charged against the bound: its bytes, its record
    // and the allocator's share.
    static size_t Cost(const Datagram& datagram);

private:
    const size_t m_maxBytes;
    mutable std::mutex m_mutex;
    std::deque<Datagram> m_waiting; // guarded by m_mutex
    size_t m_bytes = 0;             // guarded by m_mutex
    bool m_wakePending = false;     // guarded by m_mutex
    std::atomic<uint64_t> m_dropped{0};
};

// A window's share of the hand-over, on its own thread: datagrams are taken
// this many at a time and handled for this long at most before the window's
// events get their turn, so that a flood of replies never holds the event
// loop (clicks, painting, a close) for long.
inline constexpr size_t kHandOverChunk = 128;
inline constexpr auto kHandOverSlice = std::chrono::milliseconds(8);

// Hands the waiting datagrams to `handle` in order, calling `chunkDone` after
// each chunk, until the queue is empty or the slice is used up. True when the
// slice ran out first: the queue still counts as woken, so the caller must
// come back for the rest. `batch` holds the chunk in hand (kept for its buffers).
bool HandOverSlice(DatagramQueue& queue, std::vector<Datagram>& batch,
                   const std::function<void(const Datagram&)>& handle, const std::function<void()>& chunkDone = {});

} // namespace vornik

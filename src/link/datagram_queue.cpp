#include "link/datagram_queue.h"

#include <algorithm>

namespace vornik {

namespace {
// A heap block's bookkeeping, roughly, on the C library's allocator.
constexpr size_t kAllocationOverhead = 16;
} // namespace

size_t DatagramQueue::Cost(const Datagram& datagram)
{
    return sizeof(Datagram) + datagram.bytes.capacity() + kAllocationOverhead;
}

bool DatagramQueue::Push(Datagram&& datagram)
{
    const size_t cost = Cost(datagram);
    std::lock_guard lock(m_mutex);
    if (m_bytes + cost > m_maxBytes) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    m_waiting.push_back(std::move(datagram));
    m_bytes += cost;
    if (m_wakePending) return false;
    m_wakePending = true;
    return true;
}

bool DatagramQueue::Take(std::vector<Datagram>& out, size_t maxCount)
{
    out.clear();
    std::lock_guard lock(m_mutex);
    if (m_waiting.empty()) {
        m_wakePending = false;
        return false;
    }
    const size_t n = std::min(maxCount, m_waiting.size());
    for (size_t i = 0; i < n; ++i) {
        m_bytes -= Cost(m_waiting.front());
        out.push_back(std::move(m_waiting.front()));
        m_waiting.pop_front();
    }
    return true;
}

void DatagramQueue::Reset()
{
    std::deque<Datagram> gone;
    std::lock_guard lock(m_mutex);
    gone.swap(m_waiting);
    m_bytes = 0;
    m_wakePending = false;
}

size_t DatagramQueue::Bytes() const
{
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

bool HandOverSlice(DatagramQueue& queue, std::vector<Datagram>& batch,
                   const std::function<void(const Datagram&)>& handle, const std::function<void()>& chunkDone)
{
    const auto start = std::chrono::steady_clock::now();
    bool more = false;
    while (queue.Take(batch, kHandOverChunk)) {
        for (const Datagram& datagram : batch) handle(datagram);
        if (chunkDone) chunkDone();
        if (std::chrono::steady_clock::now() - start >= kHandOverSlice) {
            more = true;
            break;
        }
    }
    batch.clear();
    return more;
}

} // namespace vornik

// The window's end of the hand-over: the receive thread leaves datagrams in a
// DatagramQueue and wakes the window once; this takes them out on the
// window's thread and hands each to the window, a slice of time at a time, so
// that a flood of replies never holds the event loop (clicks, painting, a
// close) for long.
#pragma once

#include <QObject>

#include <cstddef>
#include <functional>
#include <vector>

#include "link/datagram_queue.h"

namespace vornik {

class DatagramPump {
public:
    using Handler = std::function<void(const Datagram& datagram)>;

    // handle gets every datagram in order; chunkDone runs after each chunk
    // taken from the queue. A slice that runs out comes back through
    // context's event queue, so nothing is pumped once context is gone.
    DatagramPump(QObject* context, DatagramQueue& queue, Handler handle, std::function<void()> chunkDone);

    // The wake-up: handles the waiting datagrams until the queue is empty or
    // the slice is used up, and then comes back for the rest.
    void Run();

private:
    QObject* m_context;
    DatagramQueue& m_queue;
    Handler m_handle;
    std::function<void()> m_chunkDone;
    std::vector<Datagram> m_batch; // the datagrams in hand, kept for their buffers
};

} // namespace vornik

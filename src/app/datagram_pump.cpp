#include "app/datagram_pump.h"

#include <QElapsedTimer>

namespace vornik {

namespace {

// The hand-over's datagrams are handled for this long at most before the
// event loop gets its turn, and taken from the queue this many at a time.
constexpr qint64 kHandOverSliceMs = 8;
constexpr size_t kHandOverChunk = 128;

} // namespace

DatagramPump::DatagramPump(QObject* context, DatagramQueue& queue, Handler handle, std::function<void()> chunkDone)
    : m_context(context), m_queue(queue), m_handle(std::move(handle)), m_chunkDone(std::move(chunkDone))
{
}

void DatagramPump::Run()
{
    QElapsedTimer slice;
    slice.start();
    while (m_queue.Take(m_batch, kHandOverChunk)) {
        for (const Datagram& datagram : m_batch) m_handle(datagram);
        if (m_chunkDone) m_chunkDone();
        if (slice.elapsed() >= kHandOverSliceMs) {
            // The queue still counts as woken: nothing else posts until this comes back.
            QMetaObject::invokeMethod(m_context, [this] { Run(); }, Qt::QueuedConnection);
            break;
        }
    }
    m_batch.clear();
}

} // namespace vornik

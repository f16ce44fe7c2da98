#include "app/datagram_pump.h"

#include <QMetaObject>

namespace vornik {

DatagramPump::DatagramPump(QObject* context, DatagramQueue& queue, Handler handle, std::function<void()> chunkDone)
    : m_context(context), m_queue(queue), m_handle(std::move(handle)), m_chunkDone(std::move(chunkDone))
{
}

void DatagramPump::Run()
{
    if (HandOverSlice(m_queue, m_batch, m_handle, m_chunkDone))
        QMetaObject::invokeMethod(m_context, [this] { Run(); }, Qt::QueuedConnection);
}

} // namespace vornik

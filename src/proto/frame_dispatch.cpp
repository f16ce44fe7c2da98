#include "proto/frame_dispatch.h"

#include <algorithm>

#include "proto/reply.h"

namespace vornik {

void DispatchFrame(std::span<const uint8_t> datagram, FrameBuffer& frameBuffer, IFrameHandlers& handlers)
{
    const size_t n = std::min(datagram.size(), frameBuffer.size());
    if (n == 0) return;
    std::copy_n(datagram.begin(), n, frameBuffer.begin());
    const std::span<const uint8_t> frame(frameBuffer.data(), n);

    const ClassifiedReply reply = ClassifyReply(frame);
    if (reply.deviceLengthZero) return; // dropped without even a refresh
    if (!handlers.Accept(reply)) return;
    if (reply.kind == ReplyKind::Search)
        handlers.HandleSearchReply(*reply.search);
    else if (reply.kind == ReplyKind::NetworkRead)
        handlers.HandleNetworkReply(*reply.mac, *reply.network);
    else if (reply.deviceFunction != 0)
        handlers.HandleDeviceReply(*reply.mac, reply.deviceFunction, reply.device ? &*reply.device : nullptr);
    handlers.RefreshInfoArea();
}

} // namespace vornik

#include "link/frame_dispatch.h"

#include <algorithm>

namespace vornik {

void DispatchFrame(std::span<const uint8_t> datagram, FrameBuffer& frameBuffer, IFrameHandlers& handlers)
{
    const size_t n = std::min(datagram.size(), frameBuffer.size());
    if (n == 0) return;
    std::copy_n(datagram.begin(), n, frameBuffer.begin());
    const std::span<const uint8_t> frame(frameBuffer.data(), n);

    if (frame[FRAME_MARKER_OFFSET] == FRAME_REPLY && n > FRAME_COMMAND_OFFSET) {
        switch (frame[FRAME_COMMAND_OFFSET]) {
        case CMD_SEARCH:
            if (n >= SEARCH_REPLY_SIZE) handlers.HandleSearchReply(frame);
            break;
        case CMD_READ_NETWORK:
            if (n >= NETWORK_REPLY_SIZE) handlers.HandleNetworkReply(frame);
            break;
        case CMD_DEVICE_PARAMS:
        case CMD_DEVICE_PARAMS_REPLY: {
            // Here the length field holds the inner frame's length, not N.
            const size_t length = size_t(frame[FRAME_LENGTH_OFFSET]) << 8 | frame[FRAME_LENGTH_OFFSET + 1];
            if (length == 0) return; // dropped without even a refresh
            // One that runs past the datagram is dropped like an invalid frame.
            if (FRAME_PAYLOAD_OFFSET + length <= n)
                handlers.HandleDeviceReply(frame.subspan(FRAME_PAYLOAD_OFFSET, length));
            break;
        }
        default:
            break;
        }
    }
    handlers.RefreshInfoArea();
}

} // namespace vornik

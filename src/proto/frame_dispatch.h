// Routing of one received datagram to the decoder of its command.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "proto/frame.h"
#include "proto/reply.h"

namespace vornik {

using FrameBuffer = std::array<uint8_t, FRAME_BUFFER_SIZE>;

class IFrameHandlers {
public:
    virtual ~IFrameHandlers() = default;
    virtual void HandleSearchReply(const SearchReplyFields& reply) = 0;
    // The device (bytes 4 to 9) and its network block as it sent it.
    virtual void HandleNetworkReply(const MacAddress& from, const NetworkParamsImage& block) = 0;
    // A 0x0A/0x0B reply whose inner frame passes its checks: the device, the
    // frame's function, and the parameters when it answers a read.
    virtual void HandleDeviceReply(const MacAddress& from, uint8_t function, const DeviceParams* read) = 0;
    virtual void RefreshInfoArea() = 0;
    // Sees each reply once classified, before its handler; false drops it.
    virtual bool Accept(const ClassifiedReply&) { return true; }
};

// Copies the datagram into frameBuffer, reads it once and hands what it says
// to its handler. A reply is read only from its own bytes: one too short for
// its fields is ignored (apart from the refresh), and so is a device reply
// whose length field runs past the datagram or whose inner frame fails its checks.
void DispatchFrame(std::span<const uint8_t> datagram, FrameBuffer& frameBuffer, IFrameHandlers& handlers);

} // namespace vornik

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
    virtual void HandleSearchReply(std::span<const uint8_t> frame) = 0;
    virtual void HandleNetworkReply(std::span<const uint8_t> frame) = 0;
    // Gets the inner DeviceFrame of a 0x0A/0x0B reply, as long as its length
    // field says, and the MAC of the device that sent it (bytes 4 to 9).
    virtual void HandleDeviceReply(const MacAddress& from, std::span<const uint8_t> deviceFrame) = 0;
    virtual void RefreshInfoArea() = 0;
    // Sees each reply once classified, before its handler; false drops it.
    virtual bool Accept(const ClassifiedReply&) { return true; }
};

// Copies the datagram into frameBuffer and hands it to its decoder. A reply is
// decoded only from its own bytes: one too short for its fields is ignored
// (apart from the refresh), and so is a device reply whose length field runs
// past the datagram.
void DispatchFrame(std::span<const uint8_t> datagram, FrameBuffer& frameBuffer, IFrameHandlers& handlers);

} // namespace vornik

// The link as the device operations see it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "proto/frame.h"

namespace vornik {

class IFrameSender {
public:
    virtual ~IFrameSender() = default;
    // Refreshes the sending endpoints from the host's current IPv4 addresses.
    virtual void OpenEndpoints() = 0;
    // Broadcasts one request through every open endpoint, in slot order.
    virtual void SendFrame(const uint8_t* frame, size_t length) = 0;
    // The UDP port the link sends from and to.
    virtual uint16_t Port() const { return LINK_PORT; }
};

} // namespace vornik

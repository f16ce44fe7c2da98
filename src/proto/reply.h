// What a received datagram is, decided once for the window and for vornikctl:
// the kind of reply, the device it names, and what it says, read once: the
// search record, the network block, the device parameters.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "proto/dev_params.h"
#include "proto/frame.h"
#include "proto/net_params.h"

namespace vornik {

// Smallest datagrams that hold every field their decoder reads.
inline constexpr size_t SEARCH_REPLY_SIZE = 20;
inline constexpr size_t NETWORK_REPLY_SIZE = 302;

enum class ReplyKind : uint8_t {
    None,            // not a reply the tools read, or one that fails its check
    Search,
    NetworkRead,
    NetworkWriteAck,
    DefaultsAck,
    MacWriteAck,
    DeviceRead,      // a device-parameter reply whose inner frame is a valid read reply
    DeviceWriteAck,  // ... a valid write acknowledgement
};

struct ClassifiedReply {
    ReplyKind kind = ReplyKind::None;
    // The device the reply names (bytes 4 to 9; a search reply's record MAC).
    // Also set with kind None when a reply of a known command from that
    // device fails its check, so that the failure can be counted against it.
    std::optional<MacAddress> mac;
    // Commands 0x0A and 0x0B: the inner frame, as long as the length field
    // says, whatever its CRC; empty when the field is 0 or runs past the datagram.
    std::span<const uint8_t> deviceFrame;
    bool deviceLengthZero = false; // 0x0A/0x0B whose length field is 0
    // The inner frame's function when it passes its checks (CRC, mark, a
    // whole block for a read), whatever the function; 0 when it fails them.
    uint8_t deviceFunction = 0;

    std::optional<SearchReplyFields> search;   // kind Search
    std::optional<NetworkParamsImage> network; // kind NetworkRead: the block as the device sent it
    std::optional<DeviceParams> device;        // kind DeviceRead
};

// Reads only the datagram's own bytes.
ClassifiedReply ClassifyReply(std::span<const uint8_t> datagram);

// The big-endian length field of the outer frame; 0 when the datagram is too short for it.
uint16_t FrameLengthField(std::span<const uint8_t> datagram);

} // namespace vornik

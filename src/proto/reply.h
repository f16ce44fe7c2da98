// What a received datagram is, decided once for the window and for vornikctl:
// the kind of reply, the device it names, and (for device-parameter replies)
// the inner frame as the length field gives it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "proto/frame.h"

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
};

// Reads only the datagram's own bytes.
ClassifiedReply ClassifyReply(std::span<const uint8_t> datagram);

// The big-endian length field of the outer frame; 0 when the datagram is too short for it.
uint16_t FrameLengthField(std::span<const uint8_t> datagram);

} // namespace vornik

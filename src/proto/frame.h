// The outer frame shared by every request and reply:
//   marker | length (high, low) | command | payload | FrameSum8
// The length counts the command byte and the payload.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vornik {

inline constexpr uint8_t FRAME_REQUEST = 0xAA;
inline constexpr uint8_t FRAME_REPLY = 0x55;

inline constexpr uint8_t CMD_SEARCH = 0x02;
inline constexpr uint8_t CMD_READ_NETWORK = 0x03;
inline constexpr uint8_t CMD_WRITE_NETWORK = 0x04;
inline constexpr uint8_t CMD_FACTORY_DEFAULTS = 0x06;
inline constexpr uint8_t CMD_DEVICE_PARAMS = 0x0A;
inline constexpr uint8_t CMD_DEVICE_PARAMS_REPLY = 0x0B; // reply only, decoded like 0x0A
inline constexpr uint8_t CMD_WRITE_MAC = 0x0F;

inline constexpr uint16_t LINK_PORT = 1901;

inline constexpr size_t FRAME_MARKER_OFFSET = 0;
inline constexpr size_t FRAME_LENGTH_OFFSET = 1;
inline constexpr size_t FRAME_COMMAND_OFFSET = 3;
inline constexpr size_t FRAME_MAC_OFFSET = 4;
inline constexpr size_t FRAME_PAYLOAD_OFFSET = 10; // after the header and the six MAC bytes
inline constexpr size_t FRAME_HEADER_SIZE = 4;     // marker, two length bytes, command
inline constexpr size_t FRAME_BUFFER_SIZE = 2048;
inline constexpr size_t RECEIVE_BUFFER_SIZE = 1024;

inline constexpr size_t MAC_SIZE = 6;
using MacAddress = std::array<uint8_t, MAC_SIZE>;
using Frame = std::vector<uint8_t>;

// The six bytes as one number, first byte highest: a key for maps and sets.
inline uint64_t MacKey(const MacAddress& mac)
{
    uint64_t v = 0;
    for (uint8_t b : mac) v = (v << 8) | b;
    return v;
}

// Sum modulo 256 of the bytes from the command byte to the last payload byte.
uint8_t FrameSum8(std::span<const uint8_t> commandAndPayload);

// A request: marker 0xAA, N = 1 + payload size, command, payload, checksum.
Frame BuildRequest(uint8_t command, std::span<const uint8_t> payload);

Frame BuildSearchRequest();
Frame BuildNetworkReadRequest(const MacAddress& target);
Frame BuildNetworkWriteRequest(const MacAddress& target, std::span<const uint8_t> networkParamsImage);
Frame BuildFactoryDefaultsRequest(const MacAddress& target);
Frame BuildWriteMacRequest(const MacAddress& target, const MacAddress& newMac);
Frame BuildDeviceParamsRequest(const MacAddress& target, std::span<const uint8_t> deviceFrame);

// What a search reply says about its device. The address is the record's
// 32-bit value: its most significant byte is the first number of the dotted text.
struct SearchReplyFields {
    uint32_t ipAddress = 0;
    MacAddress mac{};
    uint16_t firmware = 0;
};
inline constexpr size_t SR_IP_ADDRESS = 8;
inline constexpr size_t SR_MAC = 12;
inline constexpr size_t SR_FIRMWARE = 18;
// The fields of a search reply; nothing when the frame is too short to hold them.
// The marker and command are the caller's to check.
std::optional<SearchReplyFields> DecodeSearchReply(std::span<const uint8_t> frame);

// A reply as devices send it: marker 0x55, the given length field, command,
// payload (MAC bytes included), checksum. Device-parameter replies carry the
// inner frame's length in the length field instead of N.
Frame BuildReply(uint8_t command, uint16_t lengthField, std::span<const uint8_t> payload);

} // namespace vornik

// The device parameter block and the inner frame (DeviceFrame) that carries it:
//   0x7E | function | block (function 0x11 and replies to 0x10) | CRC-16/MODBUS, low byte first
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "proto/frame.h"

namespace vornik {

inline constexpr uint8_t DEVICE_FRAME_START = 0x7E;
inline constexpr uint8_t DEVICE_FUNC_READ = 0x10;
inline constexpr uint8_t DEVICE_FUNC_WRITE = 0x11;

inline constexpr size_t CHANNEL_COUNT = 8;
inline constexpr size_t DEVICE_FRAME_SIZE = 96;     // a whole block with mark, function and CRC
inline constexpr size_t DEVICE_READ_FRAME_SIZE = 4; // mark, function, CRC
inline constexpr size_t DEVICE_CRC_SIZE = 2;

// Offsets inside the DeviceFrame.
inline constexpr size_t DF_START = 0;
inline constexpr size_t DF_FUNCTION = 1;
inline constexpr size_t DF_SERVER_COUNT = 2;
inline constexpr size_t DF_TERMINAL_ADDRESS = 3;
inline constexpr size_t DF_LOGIN_INTERVAL = 7;
inline constexpr size_t DF_HEARTBEAT_INTERVAL = 9;
inline constexpr size_t DF_UPLOAD_INTERVAL = 11;
inline constexpr size_t DF_WORK_MODE = 13;
inline constexpr size_t DF_BAUD_RATE = 14;
inline constexpr size_t DF_DATA_BITS = 18;
inline constexpr size_t DF_PARITY = 19; // parity comes before stop bits on the wire
inline constexpr size_t DF_STOP_BITS = 20;
inline constexpr size_t DF_MODBUS_TERMINAL_COUNT = 21;
inline constexpr size_t DF_CHANNEL_ADDRESS = 22;
inline constexpr size_t DF_LIMITS = 30;          // eight bytes per channel
inline constexpr size_t DF_LIMITS_PER_CHANNEL = 8;
inline constexpr size_t DF_TEMP_UPPER = 0;       // within a channel's eight bytes
inline constexpr size_t DF_TEMP_LOWER = 2;
inline constexpr size_t DF_HUMIDITY_UPPER = 4;
inline constexpr size_t DF_HUMIDITY_LOWER = 6;
inline constexpr size_t DF_CRC = 94;

struct DeviceParams {
    uint32_t terminalAddress = 0;
    uint8_t serverCount = 0;
    uint16_t loginInterval = 0;
    uint16_t heartbeatInterval = 0;
    uint16_t uploadInterval = 0;
    uint8_t workMode = 0;
    uint32_t baudRate = 0;
    uint8_t dataBits = 0;
    uint8_t stopBits = 0;
    uint8_t parity = 0;
    uint8_t modbusTerminalCount = 0;
    std::array<uint8_t, CHANNEL_COUNT> channelAddress{};
    std::array<int16_t, CHANNEL_COUNT> tempUpperLimit{};
    std::array<int16_t, CHANNEL_COUNT> tempLowerLimit{};
    std::array<uint16_t, CHANNEL_COUNT> humidityUpperLimit{};
    std::array<uint16_t, CHANNEL_COUNT> humidityLowerLimit{};

    bool operator==(const DeviceParams&) const = default;
};

// Every field of the block at its offset in the inner frame: the one list
// that decoding and encoding a block follow, beside the offsets and the
// record it pairs.
template <typename Params, typename Visit>
void EachDeviceField(Params& p, Visit&& field)
{
    field(DF_SERVER_COUNT, p.serverCount);
    field(DF_TERMINAL_ADDRESS, p.terminalAddress);
    field(DF_LOGIN_INTERVAL, p.loginInterval);
    field(DF_HEARTBEAT_INTERVAL, p.heartbeatInterval);
    field(DF_UPLOAD_INTERVAL, p.uploadInterval);
    field(DF_WORK_MODE, p.workMode);
    field(DF_BAUD_RATE, p.baudRate);
    field(DF_DATA_BITS, p.dataBits);
    field(DF_PARITY, p.parity);
    field(DF_STOP_BITS, p.stopBits);
    field(DF_MODBUS_TERMINAL_COUNT, p.modbusTerminalCount);
    field(DF_CHANNEL_ADDRESS, p.channelAddress);
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        const size_t base = DF_LIMITS + c * DF_LIMITS_PER_CHANNEL;
        field(base + DF_TEMP_UPPER, p.tempUpperLimit[c]);
        field(base + DF_TEMP_LOWER, p.tempLowerLimit[c]);
        field(base + DF_HUMIDITY_UPPER, p.humidityUpperLimit[c]);
        field(base + DF_HUMIDITY_LOWER, p.humidityLowerLimit[c]);
    }
}

// The block between the inner frame's function byte and its CRC. Every byte
// is a field, so a block decoded and encoded again is the same bytes.
inline constexpr size_t DEVICE_BLOCK_SIZE = DF_CRC - DF_SERVER_COUNT;
using DeviceBlock = std::array<uint8_t, DEVICE_BLOCK_SIZE>;
DeviceBlock EncodeDeviceBlock(const DeviceParams& params);
DeviceParams DecodeDeviceBlock(const DeviceBlock& block);
// A whole inner frame around a block: mark, function, block, CRC. The write
// request (0x11) and a device's reply to a read (0x10) have this shape.
std::array<uint8_t, DEVICE_FRAME_SIZE> DeviceBlockFrame(uint8_t function, const DeviceBlock& block);

// Writes the frame for function 0x10 (4 bytes) or 0x11 (96 bytes, the block
// from params) into buffer and returns its length; 0 for any other function.
uint8_t BuildDeviceFrame(std::span<uint8_t, DEVICE_FRAME_SIZE> buffer, uint8_t function, const DeviceParams& params);

// Checks a received frame; returns 0 when it fails (too short, CRC, start mark),
// otherwise its function byte. A read reply (0x10) is stored into params first;
// one shorter than a whole block is refused, so no field comes from beyond it.
uint8_t ParseDeviceFrame(std::span<const uint8_t> frame, DeviceParams& params);

// The command-0x0A requests that carry a read (function 0x10) or a write of
// params (function 0x11) to the device with the given MAC address.
Frame BuildDeviceReadRequest(const MacAddress& target);
Frame BuildDeviceWriteRequest(const MacAddress& target, const DeviceParams& params);

} // namespace vornik

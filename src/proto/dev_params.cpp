#include "proto/dev_params.h"

#include <algorithm>

#include "proto/byte_io.h"
#include "proto/crc16.h"

namespace vornik {

// The offsets above are the frame's; the block starts at its first field.
DeviceBlock EncodeDeviceBlock(const DeviceParams& params)
{
    DeviceBlock block{};
    ByteWriter w(block);
    EachDeviceField(params, [&w](size_t at, const auto& value) { w.At(at - DF_SERVER_COUNT).Field(value); });
    return block;
}

DeviceParams DecodeDeviceBlock(const DeviceBlock& block)
{
    DeviceParams params;
    ByteReader r(block);
    EachDeviceField(params, [&r](size_t at, auto& value) { r.At(at - DF_SERVER_COUNT).Field(value); });
    return params;
}

std::array<uint8_t, DEVICE_FRAME_SIZE> DeviceBlockFrame(uint8_t function, const DeviceBlock& block)
{
    std::array<uint8_t, DEVICE_FRAME_SIZE> frame{};
    ByteWriter w(frame);
    w.At(DF_START).U8(DEVICE_FRAME_START).U8(function).Bytes(block);
    w.At(DF_CRC).U16(Crc16Modbus(std::span<const uint8_t>(frame.data(), DF_CRC)));
    return frame;
}

uint8_t BuildDeviceFrame(std::span<uint8_t, DEVICE_FRAME_SIZE> buffer, uint8_t function, const DeviceParams& params)
{
    if (function != DEVICE_FUNC_READ && function != DEVICE_FUNC_WRITE) return 0;
    if (function == DEVICE_FUNC_WRITE) {
        const auto frame = DeviceBlockFrame(function, EncodeDeviceBlock(params));
        std::copy(frame.begin(), frame.end(), buffer.begin());
        return uint8_t(frame.size());
    }
    ByteWriter w(buffer);
    w.At(DF_START).U8(DEVICE_FRAME_START).U8(function);
    w.U16(Crc16Modbus(std::span<const uint8_t>(buffer.data(), DF_FUNCTION + 1)));
    return uint8_t(DEVICE_READ_FRAME_SIZE);
}

uint8_t ParseDeviceFrame(std::span<const uint8_t> frame, DeviceParams& params)
{
    if (frame.size() <= DEVICE_CRC_SIZE) return 0;
    const size_t body = frame.size() - DEVICE_CRC_SIZE;
    ByteReader r(frame);
    if (Crc16Modbus(frame.first(body)) != r.At(body).U16()) return 0;
    if (frame[DF_START] != DEVICE_FRAME_START) return 0;
    const uint8_t function = frame[DF_FUNCTION];
    if (function != DEVICE_FUNC_READ) return function;
    if (frame.size() < DEVICE_FRAME_SIZE) return 0;
    DeviceBlock block;
    std::copy_n(frame.begin() + DF_SERVER_COUNT, block.size(), block.begin());
    params = DecodeDeviceBlock(block);
    return DEVICE_FUNC_READ;
}

Frame BuildDeviceReadRequest(const MacAddress& target)
{
    std::array<uint8_t, DEVICE_FRAME_SIZE> inner{};
    const uint8_t length = BuildDeviceFrame(inner, DEVICE_FUNC_READ, DeviceParams{});
    return BuildDeviceParamsRequest(target, std::span(inner.data(), length));
}

Frame BuildDeviceWriteRequest(const MacAddress& target, const DeviceParams& params)
{
    std::array<uint8_t, DEVICE_FRAME_SIZE> inner{};
    const uint8_t length = BuildDeviceFrame(inner, DEVICE_FUNC_WRITE, params);
    return BuildDeviceParamsRequest(target, std::span(inner.data(), length));
}

} // namespace vornik

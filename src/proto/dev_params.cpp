#include "proto/dev_params.h"

#include "proto/byte_io.h"
#include "proto/crc16.h"

namespace vornik {

namespace {

void WriteBlock(ByteWriter& w, const DeviceParams& p)
{
    w.At(DF_SERVER_COUNT).U8(p.serverCount);
    w.At(DF_TERMINAL_ADDRESS).U32(p.terminalAddress);
    w.At(DF_LOGIN_INTERVAL).U16(p.loginInterval);
    w.At(DF_HEARTBEAT_INTERVAL).U16(p.heartbeatInterval);
    w.At(DF_UPLOAD_INTERVAL).U16(p.uploadInterval);
    w.At(DF_WORK_MODE).U8(p.workMode);
    w.At(DF_BAUD_RATE).U32(p.baudRate);
    w.At(DF_DATA_BITS).U8(p.dataBits);
    w.At(DF_PARITY).U8(p.parity);
    w.At(DF_STOP_BITS).U8(p.stopBits);
    w.At(DF_MODBUS_TERMINAL_COUNT).U8(p.modbusTerminalCount);
    w.At(DF_CHANNEL_ADDRESS).Bytes(p.channelAddress);
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        const size_t base = DF_LIMITS + c * DF_LIMITS_PER_CHANNEL;
        w.At(base + DF_TEMP_UPPER).U16(uint16_t(p.tempUpperLimit[c]));
        w.At(base + DF_TEMP_LOWER).U16(uint16_t(p.tempLowerLimit[c]));
        w.At(base + DF_HUMIDITY_UPPER).U16(p.humidityUpperLimit[c]);
        w.At(base + DF_HUMIDITY_LOWER).U16(p.humidityLowerLimit[c]);
    }
}

void ReadBlock(ByteReader& r, DeviceParams& p)
{
    p.serverCount = r.At(DF_SERVER_COUNT).U8();
    p.terminalAddress = r.At(DF_TERMINAL_ADDRESS).U32();
    p.loginInterval = r.At(DF_LOGIN_INTERVAL).U16();
    p.heartbeatInterval = r.At(DF_HEARTBEAT_INTERVAL).U16();
    p.uploadInterval = r.At(DF_UPLOAD_INTERVAL).U16();
    p.workMode = r.At(DF_WORK_MODE).U8();
    p.baudRate = r.At(DF_BAUD_RATE).U32();
    p.dataBits = r.At(DF_DATA_BITS).U8();
    p.parity = r.At(DF_PARITY).U8();
    p.stopBits = r.At(DF_STOP_BITS).U8();
    p.modbusTerminalCount = r.At(DF_MODBUS_TERMINAL_COUNT).U8();
    r.At(DF_CHANNEL_ADDRESS).Bytes(p.channelAddress);
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        const size_t base = DF_LIMITS + c * DF_LIMITS_PER_CHANNEL;
        p.tempUpperLimit[c] = int16_t(r.At(base + DF_TEMP_UPPER).U16());
        p.tempLowerLimit[c] = int16_t(r.At(base + DF_TEMP_LOWER).U16());
        p.humidityUpperLimit[c] = r.At(base + DF_HUMIDITY_UPPER).U16();
        p.humidityLowerLimit[c] = r.At(base + DF_HUMIDITY_LOWER).U16();
    }
}

} // namespace

uint8_t BuildDeviceFrame(std::span<uint8_t, DEVICE_FRAME_SIZE> buffer, uint8_t function, const DeviceParams& params)
{
    if (function != DEVICE_FUNC_READ && function != DEVICE_FUNC_WRITE) return 0;
    ByteWriter w(buffer);
    w.At(DF_START).U8(DEVICE_FRAME_START).U8(function);
    size_t length = DF_FUNCTION + 1;
    if (function == DEVICE_FUNC_WRITE) {
        WriteBlock(w, params);
        length = DF_CRC;
    }
    w.At(length).U16(Crc16Modbus(std::span<const uint8_t>(buffer.data(), length)));
    return uint8_t(length + DEVICE_CRC_SIZE);
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
    DeviceParams decoded;
    ReadBlock(r, decoded);
    if (!r.Ok()) return 0;
    params = decoded;
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

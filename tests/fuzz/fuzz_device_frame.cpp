// The device-frame parser on any bytes: it accepts exactly the frames whose
// CRC (computed here bit by bit) holds and that start with 0x7E, takes a
// block only from a whole read reply, and then takes every field as sent.
#include <cstring>

#include "fuzz_oracles.h"
#include "proto/crc16.h"
#include "proto/dev_params.h"

using namespace vornik;
using namespace vornik::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> frame(data, size);
    Check(Crc16Modbus(frame) == BitwiseCrc16(frame), "table CRC differs from the bitwise CRC");

    DeviceParams before;
    before.baudRate = 0x12345678; // a marker that a refused frame must leave alone
    DeviceParams params = before;
    const uint8_t result = ParseDeviceFrame(frame, params);

    uint8_t expected = 0;
    if (size > 2 && BitwiseCrc16(frame.first(size - 2)) == Le16(data + size - 2) && data[0] == 0x7E) {
        expected = data[1];
        if (expected == DEVICE_FUNC_READ && size < DEVICE_FRAME_SIZE) expected = 0;
    }
    Check(result == expected, "accepted or refused against the rule");
    if (result != DEVICE_FUNC_READ) {
        Check(params == before, "a frame that is no read reply changed the parameters");
        return 0;
    }
    Check(params.serverCount == data[2], "server count");
    Check(params.terminalAddress == Le32(data + 3), "terminal address");
    Check(params.loginInterval == Le16(data + 7), "login interval");
    Check(params.heartbeatInterval == Le16(data + 9), "heartbeat interval");
    Check(params.uploadInterval == Le16(data + 11), "upload interval");
    Check(params.workMode == data[13], "work mode");
    Check(params.baudRate == Le32(data + 14), "baud rate");
    Check(params.dataBits == data[18] && params.parity == data[19] && params.stopBits == data[20], "serial format");
    Check(params.modbusTerminalCount == data[21], "Modbus terminal count");
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        const uint8_t* limits = data + 30 + 8 * c;
        Check(params.channelAddress[c] == data[22 + c], "channel address");
        Check(uint16_t(params.tempUpperLimit[c]) == Le16(limits), "upper temperature");
        Check(uint16_t(params.tempLowerLimit[c]) == Le16(limits + 2), "lower temperature");
        Check(params.humidityUpperLimit[c] == Le16(limits + 4), "upper humidity");
        Check(params.humidityLowerLimit[c] == Le16(limits + 6), "lower humidity");
    }
    return 0;
}

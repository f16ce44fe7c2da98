// CRC-16/MODBUS one bit at a time, written from the algorithm's definition
// (reflected polynomial 0xA001, start 0xFFFF, no final XOR), so that the
// tests and fuzz targets check the program's table-driven CRC against
// something that does not share its table.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vornik::test {

inline uint16_t BitwiseCrc16(std::span<const uint8_t> data)
{
    uint16_t crc = 0xFFFF;
    for (uint8_t b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

// The body followed by its CRC, low byte first, as a device frame carries it.
inline std::vector<uint8_t> WithBitwiseCrc(std::vector<uint8_t> body)
{
    const uint16_t crc = BitwiseCrc16(body);
    body.push_back(uint8_t(crc & 0xFF));
    body.push_back(uint8_t(crc >> 8));
    return body;
}

} // namespace vornik::test

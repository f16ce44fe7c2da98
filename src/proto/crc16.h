#pragma once

#include <cstdint>
#include <span>

namespace vornik {

// CRC-16/MODBUS; on the wire the low byte goes first.
uint16_t Crc16Modbus(std::span<const uint8_t> data);

} // namespace vornik

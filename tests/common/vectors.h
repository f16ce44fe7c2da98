// Byte vectors shared by several test files, written out by hand from the
// protocol's worked examples.
#pragma once

namespace vornik::test {

// Bytes 2 to 93 of a DeviceFrame holding the device page's start-up values:
// server count 8, terminal 12345678, intervals 3/60/5, work mode 0, 4800 baud
// 8N1, one Modbus terminal, channels 1..8, upper limits 99.9, lower limits 0.
inline constexpr const char* kStartupBlock =
    "08 78 56 34 12 03 00 3C 00 05 00 00 C0 12 00 00 08 00 01 01 01 02 03 04 05 06 07 08"
    " E7 03 00 00 E7 03 00 00  E7 03 00 00 E7 03 00 00  E7 03 00 00 E7 03 00 00  E7 03 00 00 E7 03 00 00"
    " E7 03 00 00 E7 03 00 00  E7 03 00 00 E7 03 00 00  E7 03 00 00 E7 03 00 00  E7 03 00 00 E7 03 00 00";
// Its CRC when byte 1 is 0x10 (a read reply) and when it is 0x11 (a write).
inline constexpr const char* kStartupReadCrc = "87 34";
inline constexpr const char* kStartupWriteCrc = "F7 A4";

} // namespace vornik::test

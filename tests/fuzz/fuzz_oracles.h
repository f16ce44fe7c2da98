// What the fuzz targets check against, written apart from the program's own
// code: a bit-by-bit CRC-16/MODBUS, the 8-bit frame sum, little-endian reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "crc_reference.h"

namespace vornik::fuzz {

using vornik::test::BitwiseCrc16;

inline uint8_t Sum8(std::span<const uint8_t> data)
{
    unsigned sum = 0;
    for (uint8_t b : data) sum += b;
    return uint8_t(sum);
}

inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// A finding: prints what was wrong and stops the run, so libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void Check(bool ok, const char* what)
{
    if (!ok) Fail(what);
}

} // namespace vornik::fuzz

// One row of the device list as a search reply makes it: what the row shows
// and where the reply came from. The list renders its cells from it, and the
// double-click and the list's diagnostics read it back as values, so nothing
// shown is ever parsed back.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "proto/frame.h"

namespace vornik {

// Where a datagram came from, as the link saw it; 0 when unknown.
struct ReplyOrigin {
    uint32_t sender = 0; // source address, host order
    uint16_t senderPort = 0;
    uint32_t adapter = 0; // the local address whose socket heard it
};

struct DeviceRow {
    uint32_t ip = 0; // host order
    MacAddress mac{};
    uint16_t firmware = 0;
    uint32_t sender = 0;
    uint16_t senderPort = 0;
    uint32_t adapter = 0;
};

inline constexpr size_t DEVICE_LIST_COLUMNS = 4;

// The row's cells in the list's column order (COL_DEVICE_IP, COL_DEVICE_NAME,
// COL_MAC, COL_FIRMWARE), code page 936. The name stays empty: devices do not
// report one.
std::array<std::string, DEVICE_LIST_COLUMNS> DeviceRowCells(const DeviceRow& row);

} // namespace vornik

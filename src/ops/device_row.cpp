#include "ops/device_row.h"

#include "ops/control_ids.h"
#include "proto/mac_address.h"
#include "proto/net_params.h"

namespace vornik {

std::array<std::string, DEVICE_LIST_COLUMNS> DeviceRowCells(const DeviceRow& row)
{
    std::array<std::string, DEVICE_LIST_COLUMNS> cells;
    cells[COL_DEVICE_IP] = FormatDottedQuad(row.ip);
    cells[COL_MAC] = FormatMacHex(row.mac);
    cells[COL_FIRMWARE] = std::to_string(row.firmware);
    return cells;
}

} // namespace vornik

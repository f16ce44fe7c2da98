// The pages' drop-down lists for the in-memory dialogs, as many entries as
// the real ones have; shared by the tests and the fuzz targets.
#pragma once

#include <string>
#include <vector>

#include "ops/control_ids.h"
#include "memory_controls.h"

namespace vornik::test {

inline std::vector<std::string> Entries(int count)
{
    std::vector<std::string> e;
    for (int i = 0; i < count; ++i) e.push_back(std::to_string(i));
    return e;
}

// The pages' drop-down lists with as many entries as the real ones.
inline void AddPageLists(MemoryControls& net, MemoryControls& dev)
{
    net.AddList(IDC_NET_IP_MODE, {"StaticIP", "DHCP/autoIP"});
    net.AddList(IDC_NET_MAX_CONNECTIONS, Entries(9));
    dev.AddList(IDC_DEV_SERVER_COUNT, Entries(9));
    dev.AddList(IDC_DEV_WORK_MODE, Entries(6));
    dev.AddList(IDC_DEV_DATA_BITS, {"5", "6", "7", "8", "9"});
    dev.AddList(IDC_DEV_PARITY, {"NONE", "ODD", "EVEN"});
    dev.AddList(IDC_DEV_STOP_BITS, {"1", "2"});
}

} // namespace vornik::test

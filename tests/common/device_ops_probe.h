// Opens the writes as a read would, for tests whose write starts from the
// values the pages show rather than from a device's reply: the pages count
// as a settings file would, chosen for whichever device is chosen. Bounds
// the device list lower for tests that fill it.
#pragma once

#include "ops/device_ops.h"

namespace vornik {

struct DeviceOpsProbe {
    static void OpenDeviceWrite(DeviceOps& ops)
    {
        ops.m_deviceParamsRead = true;
        for (const settings::Block block : {settings::Block::Network, settings::Block::Device})
            ops.m_pages.SetSource(block, {false, {}, 0, true});
    }
    // A device list that takes `limit` rows, for tests that fill it.
    static void LimitList(DeviceOps& ops, size_t limit) { ops.m_listing = SearchListing(limit); }
};

} // namespace vornik

// Opens the device write as a read would, for tests whose write starts from
// the values the page shows rather than from a device's reply; bounds the
// device list lower for tests that fill it.
#pragma once

#include "ops/device_ops.h"

namespace vornik {

struct DeviceOpsProbe {
    static void OpenDeviceWrite(DeviceOps& ops) { ops.m_deviceParamsRead = true; }
    // A device list that takes `limit` rows, for tests that fill it.
    static void LimitList(DeviceOps& ops, size_t limit) { ops.m_listing = SearchListing(limit); }
};

} // namespace vornik

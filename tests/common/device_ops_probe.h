// Opens the device write as a read would, for tests whose write starts from
// the values the page shows rather than from a device's reply.
#pragma once

#include "ops/device_ops.h"

namespace vornik {

struct DeviceOpsProbe {
    static void OpenDeviceWrite(DeviceOps& ops) { ops.m_deviceParamsRead = true; }
};

} // namespace vornik

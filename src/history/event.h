// One entry of the settings history: a device's blocks as it sent them, at
// one moment of a read or a write. Plain data, so that the window's
// operations can hand events over without knowing the store behind them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "proto/dev_params.h"
#include "proto/frame.h"
#include "proto/net_params.h"

namespace vornik::history {

using vornik::DEVICE_BLOCK_SIZE;
using vornik::DeviceBlock;

// Which moment of an operation an event records.
enum class Stage {
    Read,   // a read on its own
    Before, // a write's blocks as read before it was sent
    After,  // a write's read-back
};

inline const char* StageName(Stage stage)
{
    switch (stage) {
    case Stage::Read: return "read";
    case Stage::Before: return "before";
    case Stage::After: return "after";
    }
    return "read";
}

struct Event {
    int64_t id = 0;       // given by Record
    int64_t timeMs = 0;   // milliseconds since 1970-01-01 UTC
    MacAddress mac{};
    uint32_t ip = 0;      // the address the device answered from; 0 unknown
    std::string program;  // "vornikctl", "Vornik_Setup"
    std::string operation; // "read", "apply", "set", "restore", "replace", ...
    Stage stage = Stage::Read;
    // The blocks as the device sent them, every byte; either may be absent
    // when the operation did not read it.
    std::optional<NetworkParamsImage> network;
    std::optional<DeviceBlock> device;
};

} // namespace vornik::history

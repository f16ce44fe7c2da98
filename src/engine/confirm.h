// A write is confirmed by reading its block back, acknowledged or not: the
// device need not acknowledge, and an acknowledgement says only that a frame
// arrived. A read-back that differs is written again while rounds remain.
#pragma once

#include <optional>
#include <vector>

#include "engine/results.h"
#include "proto/dev_params.h"
#include "proto/net_params.h"
#include "settings/fields.h"

namespace vornik::engine {

// What was written against what came back, every byte of each block given
// (bytes no field shows too, by the settings table's comparison).
struct Written {
    std::optional<NetworkParams> network;
    std::optional<DeviceParams> device;
};
std::vector<settings::Difference> ReadBackDifferences(const Written& written, const Written& readBack);

enum class Next {
    Settled,    // confirmed, or the differences are final
    WriteAgain, // differs, and another round may mend it
};
// After the read-back of round `round` (from 1) of at most `rounds`.
Next AfterReadBack(const std::vector<settings::Difference>& differences, int round, int rounds);

// The word for a write whose read-back never came.
Result Unconfirmed(bool acknowledged);

} // namespace vornik::engine

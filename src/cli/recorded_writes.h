// Blocks recorded in the settings history written to devices, every byte,
// confirmed by read-back: what restore and replace share.
#pragma once

#ifdef VORNIK_HISTORY
#include <optional>
#include <utility>
#include <vector>

#include "cli/context.h"
#include "history/history.h"

namespace vornik::cli {

// Writes each event's blocks to the device named beside it (after the
// search that refuses a shared MAC and, unless `force`, the address
// checks); `missing` are reported with the results.
// A replacement (`replacing`: the device it replaces) keeps its own carried
// bytes, and the address its predecessor's block holds counts as taken while
// the predecessor still answers.
int WriteRecorded(const Context& context, Session& session,
                  const std::vector<std::pair<MacAddress, history::Event>>& recorded, std::vector<DeviceResult> missing,
                  bool dryRun, bool force, bool allWithMac, const std::optional<MacAddress>& replacing = std::nullopt);

} // namespace vornik::cli
#endif

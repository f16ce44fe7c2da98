// Many devices, each with values of its own: a CSV file whose header names
// the fields (first column mac), or addresses numbered from a first one in
// MAC order. Everything is checked before anything is sent.
#pragma once

#include <string>
#include <vector>

#include "proto/mac_address.h"
#include "settings/settings.h"

namespace vornik::cli {

struct Identity {
    MacAddress mac{};
    settings::Patch patch; // the file's fields with this device's own on top
};

// Reads `path` (throws UsageError naming the line): a header "mac,FIELD,...",
// a line per device; a MAC or an ip given twice is refused, and so is an ip
// the device's mask (from the line or `common`) puts outside the subnet.
std::vector<Identity> ReadIdentities(const std::string& path, const settings::Patch& common);

// The devices sorted by MAC, the first given `first`, each next one the next
// address (throws UsageError when they run past the subnet of `first`).
std::vector<Identity> NumberedIdentities(std::vector<MacAddress> macs, const std::string& first,
                                         const settings::Patch& common);

} // namespace vornik::cli

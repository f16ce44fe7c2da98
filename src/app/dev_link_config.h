// For development only: the link pointed elsewhere than the LAN, so that the
// program can be run against the device simulator on loopback.
//   VORNIK_PORT=19010              the link port (default 1901)
//   VORNIK_BROADCAST=127.255.255.255  where requests go (default 255.255.255.255)
//   VORNIK_ADDRESSES=127.0.0.2[,…]  the local addresses to send from (default:
//                                  the host's)
//   VORNIK_DEMO=1                  the devices are simulated (scripts/run --demo):
//                                  the title says so
#pragma once

#include <string>

#include "link/udp_link.h"

namespace vornik {

LinkConfig LinkConfigFromEnvironment();

// What the title gains when VORNIK_DEMO is set (UTF-8), so that simulated
// devices are never taken for real ones; empty otherwise.
std::string DemoTitleMark();

} // namespace vornik

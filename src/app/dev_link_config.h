// For development only: the link pointed elsewhere than the LAN, so that the
// program can be run against the device simulator on loopback.
//   VORNIK_PORT=19010              the link port (default 1901)
//   VORNIK_BROADCAST=127.255.255.255  where requests go (default 255.255.255.255)
//   VORNIK_ADDRESSES=127.0.0.2[,…]  the local addresses to send from (default:
//                                  the host's)
#pragma once

#include "link/udp_link.h"

namespace vornik {

LinkConfig LinkConfigFromEnvironment();

} // namespace vornik

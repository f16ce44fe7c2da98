// The link pointed elsewhere than the LAN, for the simulator and the demo; the
// window and vornikctl both take these as their defaults.
//   VORNIK_PORT=19010                 the link port (default 1901)
//   VORNIK_BROADCAST=127.255.255.255  where requests go (default 255.255.255.255)
//   VORNIK_ADDRESSES=127.0.0.2[,…]    the local addresses to send from
//                                     (default: the host's)
// A value that does not parse is named on stderr and ignored.
#pragma once

#include <optional>
#include <vector>

#include "link/udp_link.h"

namespace vornik {

struct LinkEnvironment {
    std::optional<uint16_t> port;
    std::optional<uint32_t> broadcastAddress;           // host order
    std::optional<std::vector<uint32_t>> hostAddresses; // host order
};

LinkEnvironment ReadLinkEnvironment();
// The product's link configuration with the environment's values in it.
LinkConfig LinkConfigFromEnvironment();

} // namespace vornik

// Address settings that parse but cannot work on a network: a mask whose
// ones are not contiguous or that has none, a gateway outside the device's
// subnet, an address that is its subnet's own network or broadcast address.
// They are warnings a user may override, so they live apart from the fields'
// checks.
#pragma once

#include <cstdint>
#include <string>

#include "proto/net_params.h"

namespace vornik::settings {

bool MaskIsContiguous(uint32_t mask);
bool InSubnet(uint32_t address, uint32_t subnetMember, uint32_t mask);

enum class AddressingFault { None, MaskNotContiguous, MaskEmpty, IpIsNetwork, IpIsBroadcast, GatewayOutside };
// The first problem found. A gateway of 0.0.0.0 is none at all and is not checked.
AddressingFault FindAddressingFault(uint32_t ip, uint32_t mask, uint32_t gateway);
// The field of the settings table a fault is told against: "mask", "ip" or "gateway".
const char* AddressingFaultField(AddressingFault fault);
// The first problem found, in words naming the field, or "" when none.
std::string AddressingProblem(uint32_t ip, uint32_t mask, uint32_t gateway);

// Whether a write of `want` over what the device holds needs the check: on
// DHCP the static fields wait unused, and what the device holds already it
// keeps, working or not, so a write of other fields is not held up by it.
// `held` none: nothing is known of what the device holds.
bool AddressingToCheck(const NetworkParams& want, const NetworkParams* held);

} // namespace vornik::settings

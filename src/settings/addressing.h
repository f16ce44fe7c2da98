// Address settings that parse but cannot work on a network: a mask whose
// ones are not contiguous, a gateway outside the device's subnet, an address
// that is its subnet's own network or broadcast address. They are warnings a
// user may override, so they live apart from the fields' checks.
#pragma once

#include <cstdint>
#include <string>

namespace vornik::settings {

bool MaskIsContiguous(uint32_t mask);
bool InSubnet(uint32_t address, uint32_t subnetMember, uint32_t mask);
// The first problem found, in words naming the field, or "" when none.
// A gateway of 0.0.0.0 is none at all and is not checked.
std::string AddressingProblem(uint32_t ip, uint32_t mask, uint32_t gateway);

} // namespace vornik::settings

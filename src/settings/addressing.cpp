#include "settings/addressing.h"

#include "proto/net_params.h"

namespace vornik::settings {

bool MaskIsContiguous(uint32_t mask)
{
    const uint32_t hosts = ~mask;
    return (hosts & (hosts + 1)) == 0;
}

bool InSubnet(uint32_t address, uint32_t subnetMember, uint32_t mask)
{
    return (address & mask) == (subnetMember & mask);
}

std::string AddressingProblem(uint32_t ip, uint32_t mask, uint32_t gateway)
{
    if (!MaskIsContiguous(mask)) return "mask " + FormatDottedQuad(mask) + " is not a run of ones followed by zeros";
    const uint32_t hosts = ~mask;
    // A /31 or /32 has no network or broadcast address of its own.
    if (hosts > 1 && ((ip & hosts) == 0 || (ip & hosts) == hosts))
        return "ip " + FormatDottedQuad(ip) + " is the " + ((ip & hosts) == 0 ? "network" : "broadcast") +
               " address of its subnet under mask " + FormatDottedQuad(mask);
    if (gateway != 0 && !InSubnet(gateway, ip, mask))
        return "gateway " + FormatDottedQuad(gateway) + " is outside the subnet of " + FormatDottedQuad(ip) + " under mask " +
               FormatDottedQuad(mask);
    return "";
}

} // namespace vornik::settings

#include "settings/addressing.h"

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

AddressingFault FindAddressingFault(uint32_t ip, uint32_t mask, uint32_t gateway)
{
    if (!MaskIsContiguous(mask)) return AddressingFault::MaskNotContiguous;
    // Every address would be taken as on the device's own link, so nothing
    // beyond it is reached: the gateway is never asked.
    if (mask == 0) return AddressingFault::MaskEmpty;
    const uint32_t hosts = ~mask;
    // A /31 or /32 has no network or broadcast address of its own.
    if (hosts > 1 && (ip & hosts) == 0) return AddressingFault::IpIsNetwork;
    if (hosts > 1 && (ip & hosts) == hosts) return AddressingFault::IpIsBroadcast;
    if (gateway != 0 && !InSubnet(gateway, ip, mask)) return AddressingFault::GatewayOutside;
    return AddressingFault::None;
}

const char* AddressingFaultField(AddressingFault fault)
{
    switch (fault) {
    case AddressingFault::MaskNotContiguous:
    case AddressingFault::MaskEmpty: return "mask";
    case AddressingFault::IpIsNetwork:
    case AddressingFault::IpIsBroadcast: return "ip";
    case AddressingFault::GatewayOutside: return "gateway";
    case AddressingFault::None: break;
    }
    return "";
}

std::string AddressingProblem(uint32_t ip, uint32_t mask, uint32_t gateway)
{
    const std::string under = " under mask " + FormatDottedQuad(mask);
    switch (FindAddressingFault(ip, mask, gateway)) {
    case AddressingFault::None: break;
    case AddressingFault::MaskNotContiguous:
        return "mask " + FormatDottedQuad(mask) + " is not a run of ones followed by zeros";
    case AddressingFault::MaskEmpty: return "mask 0.0.0.0 leaves no network part, so nothing beyond the link is reached";
    case AddressingFault::IpIsNetwork:
        return "ip " + FormatDottedQuad(ip) + " is the network address of its subnet" + under;
    case AddressingFault::IpIsBroadcast:
        return "ip " + FormatDottedQuad(ip) + " is the broadcast address of its subnet" + under;
    case AddressingFault::GatewayOutside:
        return "gateway " + FormatDottedQuad(gateway) + " is outside the subnet of " + FormatDottedQuad(ip) + under;
    }
    return "";
}

bool AddressingToCheck(const NetworkParams& want, const NetworkParams* held)
{
    if (IpModeFromFlag(want.ipMode) == 1) return false;
    return !held || want.ipAddress != held->ipAddress || want.subnetMask != held->subnetMask ||
           want.gateway != held->gateway;
}

} // namespace vornik::settings

#include <unordered_map>

#include "cli/jobs.h"
#include "proto/text_conv.h"

namespace vornik::cli {

std::function<std::string(const DeviceResult&, const NetworkParams&)>
AddressingCheck(const std::vector<FoundDevice>& searched, const std::vector<MacAddress>& batch)
{
    std::unordered_map<uint32_t, const FoundDevice*> byAddress;
    std::unordered_map<uint64_t, bool> inBatch;
    for (const MacAddress& m : batch) inBatch[MacKey(m)] = true;
    for (const FoundDevice& f : searched)
        if (!inBatch.count(MacKey(f.reply.mac))) byAddress.emplace(f.reply.ipAddress, &f);
    return [byAddress = std::move(byAddress)](const DeviceResult& read, const NetworkParams& want) -> std::string {
        if (!read.network || !settings::AddressingToCheck(want, &*read.network)) return "";
        const NetworkParams& held = *read.network;
        std::string why;
        if (want.ipAddress != held.ipAddress)
            if (const auto it = byAddress.find(want.ipAddress); it != byAddress.end())
                why = "device " + FormatMacText(it->second->reply.mac) + " already answers with " +
                      AddressText(want.ipAddress);
        if (why.empty()) why = settings::AddressingProblem(want.ipAddress, want.subnetMask, want.gateway);
        return why.empty() ? why : why + "; nothing written (--force writes it anyway)";
    };
}

std::vector<DeviceResult> RefuseSharedMacs(const std::vector<FoundDevice>& searched, std::vector<MacAddress>& macs,
                                           bool allWithMac)
{
    std::vector<DeviceResult> refused;
    if (allWithMac) return refused;
    std::unordered_map<uint64_t, std::vector<uint32_t>> addresses;
    for (const FoundDevice& f : searched) addresses[MacKey(f.reply.mac)].push_back(f.reply.ipAddress);
    std::erase_if(macs, [&](const MacAddress& mac) {
        const auto it = addresses.find(MacKey(mac));
        if (it == addresses.end() || it->second.size() < 2) return false;
        std::string list;
        for (uint32_t a : it->second) list += (list.empty() ? "" : ", ") + AddressText(a);
        DeviceResult r;
        r.mac = mac;
        r.result = engine::Result::NotWritten;
        r.error = "devices at " + list + " all answer with this MAC address; nothing written (--all-with-mac acts on all)";
        refused.push_back(std::move(r));
        return true;
    });
    return refused;
}

} // namespace vornik::cli

#include <unordered_map>

#include "cli/jobs.h"
#include "proto/text_conv.h"

namespace vornik::cli {

std::function<std::string(const DeviceResult&, const NetworkParams&)>
AddressingCheck(const std::vector<FoundDevice>& searched, const std::vector<MacAddress>& batch,
                const std::vector<std::pair<uint32_t, MacAddress>>& held)
{
    std::unordered_map<uint32_t, std::string> byAddress; // the address -> why another device has it
    std::unordered_map<uint64_t, bool> inBatch;
    for (const MacAddress& m : batch) inBatch[MacKey(m)] = true;
    for (const FoundDevice& f : searched)
        if (!inBatch.count(MacKey(f.reply.mac)))
            byAddress.emplace(f.reply.ipAddress, "device " + FormatMacText(f.reply.mac) + " already answers with " +
                                                     AddressText(f.reply.ipAddress));
    for (const auto& [address, mac] : held)
        if (!inBatch.count(MacKey(mac)))
            byAddress.emplace(address, "device " + FormatMacText(mac) + " still answers, and its network block holds " +
                                           AddressText(address));
    return [byAddress = std::move(byAddress)](const DeviceResult& read, const NetworkParams& want) -> std::string {
        if (!read.network || !settings::AddressingToCheck(want, &*read.network)) return "";
        const NetworkParams& held = *read.network;
        std::string why;
        if (want.ipAddress != held.ipAddress)
            if (const auto it = byAddress.find(want.ipAddress); it != byAddress.end()) why = it->second;
        if (why.empty()) why = settings::AddressingProblem(want.ipAddress, want.subnetMask, want.gateway);
        return why.empty() ? why : why + "; nothing written (--force writes it anyway)";
    };
}

std::vector<DeviceResult> RefuseSharedMacs(const std::vector<FoundDevice>& searched, std::vector<MacAddress>& macs,
                                           bool allWithMac)
{
    std::vector<DeviceResult> refused;
    if (allWithMac) return refused;
    std::unordered_map<uint64_t, std::vector<const FoundDevice*>> answered;
    for (const FoundDevice& f : searched) answered[MacKey(f.reply.mac)].push_back(&f);
    std::erase_if(macs, [&](const MacAddress& mac) {
        const auto it = answered.find(MacKey(mac));
        if (it == answered.end() || !it->second.front()->SharedMac()) return false;
        std::string list;
        for (const FoundDevice* f : it->second) list += (list.empty() ? "" : ", ") + AddressText(f->reply.ipAddress);
        DeviceResult r;
        r.mac = mac;
        r.result = engine::Result::NotWritten;
        if (it->second.size() > 1)
            r.error = "devices at " + list + " all answer with this MAC address";
        else
            r.error = "more replies came from " + list + " with this MAC address (" +
                      std::to_string(it->second.front()->replies) +
                      ") than the search explains: more than one device may answer with it at that address";
        r.error += "; nothing written (--all-with-mac acts on all)";
        refused.push_back(std::move(r));
        return true;
    });
    return refused;
}

} // namespace vornik::cli

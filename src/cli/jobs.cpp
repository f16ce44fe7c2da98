#include "cli/jobs.h"

#include <algorithm>
#include <unordered_map>

#include "engine/confirm.h"
#include "proto/reply.h"
#include "proto/text_conv.h"

namespace vornik::cli {

namespace {

using settings::Block;

std::string NoReply(const char* what, int sent, int refused)
{
    std::string s = std::string("no reply to the ") + what + " (" + std::to_string(sent) +
                    (sent == 1 ? " try)" : " tries)");
    if (refused) s += ", " + std::to_string(refused) + " reply(ies) failed their check";
    return s;
}

Request ReadNetworkRequest(const MacAddress& mac) { return engine::Awaited(BuildNetworkReadRequest(mac), ReplyKind::NetworkRead, mac); }
Request ReadDeviceRequest(const MacAddress& mac) { return engine::Awaited(BuildDeviceReadRequest(mac), ReplyKind::DeviceRead, mac); }

// Reads the asked blocks of every result still ok into it; a device that does
// not answer gets its error. `first[i]`, when given, goes out just before
// result i's reads and is not waited for (writes whose answer the protocol
// does not promise); `answered[i]` counts the replies to it that came.
void ReadInto(Client& client, std::vector<DeviceResult>& results, bool network, bool device, const char* what,
              const std::vector<std::vector<Request>>& first = {}, std::vector<size_t>* answered = nullptr)
{
    std::vector<Request> requests;
    std::vector<std::pair<size_t, int>> owner; // result index, 0 sent first, 1 network read, 2 device read
    for (size_t i = 0; i < results.size(); ++i) {
        if (!results[i].error.empty()) continue;
        if (i < first.size())
            for (Request r : first[i]) {
                r.awaited = false;
                requests.push_back(std::move(r));
                owner.emplace_back(i, 0);
            }
        if (network) {
            requests.push_back(ReadNetworkRequest(results[i].mac));
            owner.emplace_back(i, 1);
        }
        if (device) {
            requests.push_back(ReadDeviceRequest(results[i].mac));
            owner.emplace_back(i, 2);
        }
    }
    if (answered) answered->assign(results.size(), 0);
    if (requests.empty()) return;
    if (results.size() > 1) client.Note(std::string(what) + ": " + std::to_string(results.size()) + " device(s)");
    const auto outcomes = client.Exchange(requests);
    for (size_t k = 0; k < outcomes.size(); ++k) {
        DeviceResult& r = results[owner[k].first];
        const Outcome& o = outcomes[k];
        const int role = owner[k].second;
        if (role == 0) {
            if (o.reply && answered) ++(*answered)[owner[k].first];
            continue;
        }
        if (!o.reply) {
            if (r.error.empty() && Interrupted())
                r.error = std::string("interrupted (Ctrl-C) before the ") + (role == 1 ? "network " : "device ") + what +
                          " was answered";
            if (r.error.empty())
                r.error = NoReply((std::string(role == 1 ? "network " : "device ") + what).c_str(), o.sent, o.refused);
            continue;
        }
        if (role == 1)
            r.network = DecodeNetworkParams(*o.answer->network);
        else
            r.device = *o.answer->device;
        r.address = o.reply->sourceAddress;
    }
}

std::vector<DeviceResult> ResultsFor(const std::vector<MacAddress>& macs)
{
    std::vector<DeviceResult> results(macs.size());
    for (size_t i = 0; i < macs.size(); ++i) results[i].mac = macs[i];
    return results;
}

using engine::Result;
constexpr Result CONFIRMED = Result::Confirmed, ACKNOWLEDGED = Result::Acknowledged, NOT_CONFIRMED = Result::NotConfirmed,
                 NOT_WRITTEN = Result::NotWritten, UNCHANGED = Result::Unchanged, WOULD_CHANGE = Result::WouldChange;

// The named fields whose values differ between two reads or a read and a
// write; bytes no field shows are left out, as no one asked to change them.
template <typename Params>
void AddChanges(std::vector<settings::Difference>& out, settings::Block block, const Params& from, const Params& to)
{
    for (auto& d : settings::Compare(from, to))
        if (settings::FindField(block, d.field)) out.push_back(std::move(d));
}

// The read-back or search that would confirm a write is missing: an
// acknowledgement says the device took it, nothing says it holds.
void NoConfirmation(DeviceResult& r, const std::string& why)
{
    r.result = engine::Unconfirmed(r.acknowledged);
    r.error = std::string(r.acknowledged ? "written and acknowledged, but " : "") + why;
}

// The devices whose blocks came, of those named (all when `which` is null).
void Tell(const HistoryHook& record, history::Stage stage, const std::vector<DeviceResult>& results,
          const std::vector<size_t>* which = nullptr)
{
    if (!record) return;
    std::vector<const DeviceResult*> told;
    const size_t n = which ? which->size() : results.size();
    for (size_t k = 0; k < n; ++k) {
        const DeviceResult& r = results[which ? (*which)[k] : k];
        if (r.network || r.device) told.push_back(&r);
    }
    if (!told.empty()) record(stage, told);
}

void Settle(std::vector<DeviceResult>& results, const Progress& progress, Result okWord, Result failWord)
{
    for (DeviceResult& r : results) {
        r.ok = r.error.empty();
        if (!r.result) r.result = r.ok ? okWord : failWord;
        if (progress) progress(r);
    }
}

} // namespace

NetworkParams NetworkToWrite(const NetworkParams& device, const settings::Patch& patch)
{
    NetworkParams want = device;
    // The window's page holds the address mode as a list index, so its write
    // sends the bare static or DHCP flag; so does this one.
    want.ipMode = IpModeToFlag(IpModeFromFlag(want.ipMode));
    patch.ApplyTo(want);
    return want;
}

DeviceParams DeviceToWrite(const DeviceParams& device, const settings::Patch& patch)
{
    DeviceParams want = device;
    patch.ApplyTo(want);
    return want;
}

Frame NetworkWriteFrame(const MacAddress& mac, const NetworkParams& written)
{
    return BuildNetworkWriteRequest(mac, EncodeNetworkParams(written));
}

Frame DeviceWriteFrame(const MacAddress& mac, const DeviceParams& written) { return BuildDeviceWriteRequest(mac, written); }

std::vector<DeviceResult> ReadBlocks(Client& client, const std::vector<MacAddress>& macs, bool network, bool device,
                                     const Progress& progress, const HistoryHook& record)
{
    auto results = ResultsFor(macs);
    ReadInto(client, results, network, device, "read");
    Tell(record, history::Stage::Read, results);
    Settle(results, progress, Result::Read, Result::NoReply);
    return results;
}

std::vector<DeviceResult> ApplyPatch(Client& client, const std::vector<MacAddress>& macs, const settings::Patch& patch,
                                     const Progress& progress, bool dryRun)
{
    ApplyPlan plan;
    plan.dryRun = dryRun;
    return ApplyPatches(client, macs, std::vector<settings::Patch>(macs.size(), patch), progress, plan);
}

std::vector<DeviceResult> ApplyPatches(Client& client, const std::vector<MacAddress>& macs,
                                       const std::vector<settings::Patch>& patches, const Progress& progress,
                                       const ApplyPlan& plan)
{
    const bool dryRun = plan.dryRun;
    const auto given = [](const auto& blocks) {
        return std::any_of(blocks.begin(), blocks.end(), [](const auto& b) { return b.has_value(); });
    };
    const bool network = given(plan.networks) ||
                         std::any_of(patches.begin(), patches.end(), [](const auto& p) { return p.Touches(Block::Network); });
    const bool device = given(plan.devices) ||
                        std::any_of(patches.begin(), patches.end(), [](const auto& p) { return p.Touches(Block::Device); });
    auto results = ResultsFor(macs);
    ReadInto(client, results, network, device, "read");
    // Each device is reported as soon as its result is settled.
    std::vector<bool> settled(results.size(), false);
    const auto settle = [&](size_t i) {
        DeviceResult& r = results[i];
        r.ok = r.error.empty();
        if (!r.result) r.result = r.ok ? CONFIRMED : NOT_CONFIRMED;
        settled[i] = true;
        if (progress) progress(r);
    };
    for (size_t i = 0; i < results.size(); ++i)
        if (!results[i].error.empty()) {
            results[i].result = NOT_WRITTEN;
            settle(i);
        }

    // What each device should hold: its own block with the patch's fields changed.
    std::vector<std::optional<NetworkParams>> wantNetwork(results.size());
    std::vector<std::optional<DeviceParams>> wantDevice(results.size());
    std::vector<size_t> open;
    std::string refused; // the first device whose check refused its write
    for (size_t i = 0; i < results.size(); ++i) {
        if (!results[i].error.empty()) continue;
        DeviceResult& r = results[i];
        // A whole block given counts every byte that differs, named or not.
        if (network && i < plan.networks.size() && plan.networks[i]) {
            wantNetwork[i] = *plan.networks[i];
            for (auto& d : settings::Compare(*r.network, *wantNetwork[i])) r.changes.push_back(std::move(d));
        } else if (network) {
            wantNetwork[i] = NetworkToWrite(*r.network, i < patches.size() ? patches[i] : settings::Patch());
            AddChanges(r.changes, Block::Network, *r.network, *wantNetwork[i]);
        }
        if (device && i < plan.devices.size() && plan.devices[i]) {
            wantDevice[i] = *plan.devices[i];
            for (auto& d : settings::Compare(*r.device, *wantDevice[i])) r.changes.push_back(std::move(d));
        } else if (device) {
            wantDevice[i] = DeviceToWrite(*r.device, i < patches.size() ? patches[i] : settings::Patch());
            AddChanges(r.changes, Block::Device, *r.device, *wantDevice[i]);
        }
        if (plan.check && !r.changes.empty()) {
            r.error = plan.check(r, wantNetwork[i] ? *wantNetwork[i] : NetworkParams{});
            if (!r.error.empty()) {
                if (refused.empty()) refused = FormatMacText(r.mac);
                r.result = NOT_WRITTEN;
                settle(i);
                continue;
            }
        }
        // Running the same change twice writes nothing the second time.
        if (dryRun || r.changes.empty()) {
            r.result = r.changes.empty() ? UNCHANGED : WOULD_CHANGE;
            settle(i);
            continue;
        }
        open.push_back(i);
    }
    if (plan.allOrNothing && !refused.empty()) {
        for (size_t i : open) {
            results[i].result = NOT_WRITTEN;
            results[i].error = "not written: the address given to " + refused + " was refused";
            settle(i);
        }
        open.clear();
    }
    // The blocks as read are stored before anything is sent: a write that
    // goes wrong half way can still be undone.
    std::vector<size_t> onlyRead;
    for (size_t i = 0; i < results.size(); ++i)
        if (std::find(open.begin(), open.end(), i) == open.end()) onlyRead.push_back(i);
    Tell(plan.record, history::Stage::Read, results, &onlyRead);
    Tell(plan.record, history::Stage::Before, results, &open);
    std::vector<size_t> readBack; // the devices written whose read-back came

    for (int round = 1; round <= client.Options().tries && !open.empty() && !Interrupted(); ++round) {
        // Each write goes out just before its read-back; the read-back, not
        // the acknowledgement, decides, so an acknowledgement is never waited for.
        std::vector<DeviceResult> back;
        std::vector<std::vector<Request>> writes;
        for (size_t i : open) {
            const MacAddress& mac = results[i].mac;
            back.push_back(ResultsFor({mac})[0]);
            auto& w = writes.emplace_back();
            if (network) w.push_back(engine::SentOnce(NetworkWriteFrame(mac, *wantNetwork[i]), ReplyKind::NetworkWriteAck, mac));
            if (device) w.push_back(engine::SentOnce(DeviceWriteFrame(mac, *wantDevice[i]), ReplyKind::DeviceWriteAck, mac));
            results[i].writes = round;
        }
        if (results.size() > 1 || round > 1)
            client.Note("write, round " + std::to_string(round) + ": " + std::to_string(open.size()) + " device(s)");
        std::vector<size_t> answered;
        ReadInto(client, back, network, device, "read-back", writes, &answered);
        for (size_t k = 0; k < open.size(); ++k) results[open[k]].acknowledged = answered[k] == writes[k].size();

        std::vector<size_t> stillOpen;
        for (size_t k = 0; k < open.size(); ++k) {
            DeviceResult& r = results[open[k]];
            const DeviceResult& got = back[k];
            if (!got.error.empty()) {
                NoConfirmation(r, got.error);
                settle(open[k]);
                continue;
            }
            r.network = got.network;
            r.device = got.device;
            r.address = got.address;
            if (std::find(readBack.begin(), readBack.end(), open[k]) == readBack.end()) readBack.push_back(open[k]);
            r.differences = engine::ReadBackDifferences(
                {network ? wantNetwork[open[k]] : std::nullopt, device ? wantDevice[open[k]] : std::nullopt},
                {got.network, got.device});
            if (r.differences.empty())
                settle(open[k]);
            else
                stillOpen.push_back(open[k]);
        }
        open = std::move(stillOpen);
    }
    for (size_t i : open) {
        if (Interrupted() && !results[i].writes) {
            results[i].result = NOT_WRITTEN;
            results[i].error = "interrupted (Ctrl-C) before it was written";
            settle(i);
            continue;
        }
        std::string fields;
        for (const auto& d : results[i].differences) fields += (fields.empty() ? "" : ", ") + d.field;
        results[i].error = "the read-back differs from what was written after " + std::to_string(results[i].writes) +
                           " write(s): " + fields;
        settle(i);
    }
    std::sort(readBack.begin(), readBack.end());
    Tell(plan.record, history::Stage::After, results, &readBack);
    return results;
}

std::vector<DeviceResult> FactoryDefaults(Client& client, const std::vector<MacAddress>& macs,
                                          const Progress& progress, bool dryRun, const HistoryHook& record)
{
    auto results = ResultsFor(macs);
    ReadInto(client, results, true, true, "read");
    Tell(record, dryRun ? history::Stage::Read : history::Stage::Before, results);
    if (dryRun) {
        Settle(results, progress, WOULD_CHANGE, NOT_WRITTEN);
        return results;
    }
    std::vector<std::optional<std::pair<NetworkParams, DeviceParams>>> before(results.size());
    std::vector<size_t> open, readBack;
    for (size_t i = 0; i < results.size(); ++i) {
        if (!results[i].error.empty()) continue;
        before[i].emplace(*results[i].network, *results[i].device);
        open.push_back(i);
    }
    // The reset is sent again, each time with a read after it, until the
    // blocks change or it is acknowledged: a device already at its factory
    // values that sends no acknowledgement cannot tell it apart from one
    // that never heard the reset.
    for (int round = 1; round <= client.Options().tries && !open.empty() && !Interrupted(); ++round) {
        std::vector<DeviceResult> after;
        std::vector<std::vector<Request>> resets;
        for (size_t i : open) {
            after.push_back(ResultsFor({results[i].mac})[0]);
            resets.push_back({engine::SentOnce(BuildFactoryDefaultsRequest(results[i].mac), ReplyKind::DefaultsAck,
                                               results[i].mac)});
            results[i].writes = round;
        }
        std::vector<size_t> answered;
        ReadInto(client, after, true, true, "read after the reset", resets, &answered);
        std::vector<size_t> stillOpen;
        for (size_t k = 0; k < open.size(); ++k) {
            DeviceResult& r = results[open[k]];
            r.acknowledged = r.acknowledged || answered[k] > 0;
            if (!after[k].error.empty()) {
                NoConfirmation(r, after[k].error);
                continue;
            }
            r.network = after[k].network;
            r.device = after[k].device;
            r.address = after[k].address;
            if (std::find(readBack.begin(), readBack.end(), open[k]) == readBack.end()) readBack.push_back(open[k]);
            const bool changed = *r.network != before[open[k]]->first || *r.device != before[open[k]]->second;
            r.changed = changed;
            r.changes.clear();
            AddChanges(r.changes, Block::Network, before[open[k]]->first, *r.network);
            AddChanges(r.changes, Block::Device, before[open[k]]->second, *r.device);
            r.result = changed ? CONFIRMED : r.acknowledged ? ACKNOWLEDGED : NOT_CONFIRMED;
            if (!changed && !r.acknowledged) stillOpen.push_back(open[k]);
        }
        open = std::move(stillOpen);
    }
    for (size_t i : open)
        results[i].error = "no acknowledgement after " + std::to_string(results[i].writes) +
                           " tries and the parameters did not change (they may already be the factory values)";
    std::sort(readBack.begin(), readBack.end());
    Tell(record, history::Stage::After, results, &readBack);
    Settle(results, progress, CONFIRMED, NOT_WRITTEN);
    return results;
}

std::function<std::string(const DeviceResult&, const NetworkParams&)>
AddressingCheck(const std::vector<FoundDevice>& searched, const std::vector<MacAddress>& batch)
{
    std::unordered_map<uint32_t, const FoundDevice*> byAddress;
    std::unordered_map<uint64_t, bool> inBatch;
    for (const MacAddress& m : batch) inBatch[MacKey(m)] = true;
    for (const FoundDevice& f : searched)
        if (!inBatch.count(MacKey(f.reply.mac))) byAddress.emplace(f.reply.ipAddress, &f);
    return [byAddress = std::move(byAddress)](const DeviceResult& read, const NetworkParams& want) -> std::string {
        // On DHCP the device takes its address from the server; the static fields wait unused.
        if (!read.network || IpModeFromFlag(want.ipMode) == 1) return "";
        const NetworkParams& held = *read.network;
        if (want.ipAddress == held.ipAddress && want.subnetMask == held.subnetMask && want.gateway == held.gateway)
            return "";
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
        r.result = NOT_WRITTEN;
        r.error = "devices at " + list + " all answer with this MAC address; nothing written (--all-with-mac acts on all)";
        refused.push_back(std::move(r));
        return true;
    });
    return refused;
}

DeviceResult WriteMac(Client& client, const MacAddress& mac, const MacAddress& newMac,
                      const std::vector<FoundDevice>& searched)
{
    DeviceResult r;
    r.mac = mac;
    const auto holds = [&](const std::vector<FoundDevice>& found) {
        for (const FoundDevice& f : found)
            if (f.reply.mac == newMac) return &f;
        return static_cast<const FoundDevice*>(nullptr);
    };
    if (mac != newMac) {
        if (const FoundDevice* other = holds(searched)) {
            r.result = NOT_WRITTEN;
            r.error = "a device at " + AddressText(other->reply.ipAddress) + " already answers with " +
                      FormatMacText(newMac) + "; nothing written";
            return r;
        }
    }
    // The write goes out again each round, each time followed by a search
    // for the new address; an acknowledgement is noted, never waited for.
    std::vector<FoundDevice> found;
    Request write = engine::SentOnce(BuildWriteMacRequest(mac, newMac), ReplyKind::MacWriteAck, newMac);
    write.alternativeMac = mac;
    for (int round = 1; round <= client.Options().tries; ++round) {
        r.writes = round;
        const auto sent = client.Exchange({write});
        r.acknowledged = r.acknowledged || sent[0].reply.has_value();
        found = client.Search(
            client.Options().interval, [&](const std::vector<FoundDevice>& f) { return holds(f) != nullptr; },
            [&](const ClassifiedReply& other) {
                if (other.kind == ReplyKind::MacWriteAck && other.mac && (*other.mac == newMac || *other.mac == mac))
                    r.acknowledged = true;
            },
            1);
        if (holds(found)) break;
    }
    if (const FoundDevice* f = holds(found)) {
        r.found = *f;
        r.ok = true;
        r.result = CONFIRMED;
    } else {
        NoConfirmation(r, std::string(r.acknowledged ? "" : "no acknowledgement, and ") + "no search found " +
                              FormatMacText(newMac) + " after " + std::to_string(r.writes) + " tries");
    }
    return r;
}

} // namespace vornik::cli

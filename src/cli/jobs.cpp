#include "cli/jobs.h"

#include <algorithm>
#include <span>
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

std::string MissingText(const engine::Missing& missing, const char* what)
{
    const std::string read = std::string(missing.block == Block::Network ? "network " : "device ") + what;
    if (Interrupted()) return "interrupted (Ctrl-C) before the " + read + " was answered";
    return NoReply(read.c_str(), missing.sent, missing.refused);
}

// Reads the asked blocks of every result still ok into it; a device that
// does not answer gets its error.
void ReadInto(Client& client, std::vector<DeviceResult>& results, bool network, bool device, const char* what)
{
    std::vector<Request> requests;
    std::vector<size_t> owner;
    for (size_t i = 0; i < results.size(); ++i) {
        if (!results[i].error.empty()) continue;
        for (Request& r : engine::ReadRequests(results[i].mac, network, device)) {
            requests.push_back(std::move(r));
            owner.push_back(i);
        }
    }
    if (requests.empty()) return;
    // After Ctrl-C a stage sends nothing, so no note says one goes.
    if (results.size() > 1 && !Interrupted())
        client.Note(std::string(what) + ": " + std::to_string(results.size()) + " device(s)");
    // Each reply goes into its device's result as it comes and is not kept.
    client.Stream(std::move(requests), [&](size_t k, const Request& request, Outcome&& outcome) {
        DeviceResult& r = results[owner[k]];
        const engine::RoundReplies got = engine::Gather({&request, 1}, {&outcome, 1});
        if (got.missing) {
            if (r.error.empty()) r.error = MissingText(*got.missing, what);
            return;
        }
        if (got.blocks.network) r.network = got.blocks.network;
        if (got.blocks.device) r.device = got.blocks.device;
        r.address = got.address;
        // A device block's outcome says nothing of the network block's reply,
        // and may end after it: it must not make a long one whole again.
        r.networkWhole = r.networkWhole && got.networkWhole;
    });
}

engine::Written BlocksOf(const DeviceResult& r) { return {r.network, r.device}; }

// The devices about to be written whose blocks were not read consistently
// leave `open`, refused (`refuse` settles them): a network reply longer than
// the block, or a second read that differs from the first or never came. A
// device whose read agrees with what the history recorded is not read again.
void RefuseUnsteadyReads(Client& client, std::vector<DeviceResult>& results, std::vector<size_t>& open, bool network,
                         bool device, const ApplyPlan& plan, const std::function<void(size_t, std::string)>& refuse)
{
    const std::string whole = "its network block came in a reply longer than the block's " +
                              std::to_string(NETWORK_REPLY_SIZE) + " bytes (or " +
                              std::to_string(NETWORK_REPLY_SIZE + 1) + " with its sum); nothing written";
    std::vector<size_t> again, kept, asked;
    std::vector<MacAddress> macs;
    for (size_t i : open) {
        if (!results[i].networkWhole) {
            refuse(i, whole);
            continue;
        }
        asked.push_back(i);
        macs.push_back(results[i].mac);
    }
    // One look into the history for the whole batch, not a query per device.
    const std::vector<std::optional<engine::Written>> recorded =
        plan.recorded && !macs.empty() ? plan.recorded(macs) : std::vector<std::optional<engine::Written>>();
    for (size_t k = 0; k < asked.size(); ++k) {
        const size_t i = asked[k];
        if (k < recorded.size() && recorded[k] && engine::ReadsAgree(BlocksOf(results[i]), *recorded[k]))
            kept.push_back(i);
        else
            again.push_back(i);
    }
    std::vector<DeviceResult> second(again.size());
    for (size_t k = 0; k < again.size(); ++k) second[k].mac = results[again[k]].mac;
    ReadInto(client, second, network, device, "read again to check");
    for (size_t k = 0; k < again.size(); ++k) {
        const size_t i = again[k];
        const DeviceResult& r2 = second[k];
        if (!r2.error.empty()) {
            refuse(i, "read once, but the read again to check it failed: " + r2.error + "; nothing written");
        } else if (!r2.networkWhole) {
            refuse(i, whole);
        } else if (!engine::ReadsAgree(BlocksOf(results[i]), BlocksOf(r2))) {
            std::string fields;
            for (const auto& d : engine::ReadBackDifferences(BlocksOf(results[i]), BlocksOf(r2)))
                fields += (fields.empty() ? "" : ", ") + d.field;
            refuse(i, "two reads gave different blocks (" + fields +
                          "): another sender may be answering for this MAC; nothing written");
        } else {
            kept.push_back(i);
        }
    }
    std::sort(kept.begin(), kept.end());
    open = std::move(kept);
}

// One round of each write still open, all in one exchange; each takes the
// outcomes of its own requests. `what` names the reads in the note.
template <typename Write>
std::vector<engine::Next> RunRound(Client& client, const std::vector<Write*>& writes, const char* what)
{
    std::vector<Request> requests;
    std::vector<uint32_t> owner; // the write each request is of
    std::vector<uint32_t> count; // each write's requests this round
    for (uint32_t k = 0; k < writes.size(); ++k) {
        const size_t before = requests.size();
        for (Request& r : writes[k]->NextRound()) {
            requests.push_back(std::move(r));
            owner.push_back(k);
        }
        count.push_back(uint32_t(requests.size() - before));
    }
    if (writes.size() > 1 && !Interrupted())
        client.Note(std::string(what) + ": " + std::to_string(writes.size()) + " device(s)");
    // Each outcome goes to its write as its request ends and is not kept: a
    // round holds what is in flight, not a reply of every device.
    std::vector<engine::Next> next(writes.size(), engine::Next::Settled);
    std::vector<uint32_t> first(writes.size(), 0); // each write's first request
    for (uint32_t k = 1; k < writes.size(); ++k) first[k] = first[k - 1] + count[k - 1];
    std::vector<uint32_t> came(writes.size(), 0);
    client.Stream(std::move(requests), [&](size_t index, const Request&, Outcome&& outcome) {
        const uint32_t k = owner[index];
        writes[k]->Hear(index - first[k], outcome);
        if (++came[k] == count[k]) next[k] = writes[k]->Settle();
    });
    for (uint32_t k = 0; k < writes.size(); ++k)
        if (count[k] == 0) next[k] = writes[k]->Settle();
    return next;
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
std::string DiffersText(const DeviceResult& r)
{
    std::string fields;
    for (const auto& d : r.differences) fields += (fields.empty() ? "" : ", ") + d.field;
    return "the read-back differs from what was written after " + std::to_string(r.writes) + " write(s): " + fields;
}

// The indices whose mark is `mark`, in order.
std::vector<size_t> Marked(const std::vector<bool>& marks, bool mark)
{
    std::vector<size_t> which;
    for (size_t i = 0; i < marks.size(); ++i)
        if (marks[i] == mark) which.push_back(i);
    return which;
}

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
            if (plan.keepCarriedBytes) wantNetwork[i]->carriedBytes = r.network->carriedBytes;
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
    if (!dryRun)
        RefuseUnsteadyReads(client, results, open, network, device, plan, [&](size_t i, std::string why) {
            DeviceResult& r = results[i];
            // What a read that cannot be trusted would change tells nothing.
            r.changes.clear();
            r.result = NOT_WRITTEN;
            r.error = std::move(why);
            if (refused.empty()) refused = FormatMacText(r.mac);
            settle(i);
        });
    if (plan.allOrNothing && !refused.empty()) {
        for (size_t i : open) {
            results[i].result = NOT_WRITTEN;
            results[i].error = "not written: the write to " + refused + " was refused";
            settle(i);
        }
        open.clear();
    }
    // The blocks as read are stored before anything is sent: a write that
    // goes wrong half way can still be undone.
    std::vector<bool> isOpen(results.size(), false);
    for (size_t i : open) isOpen[i] = true;
    const std::vector<size_t> onlyRead = Marked(isOpen, false);
    Tell(plan.record, history::Stage::Read, results, &onlyRead);
    Tell(plan.record, history::Stage::Before, results, &open);
    std::vector<bool> readBack(results.size(), false); // the devices written whose read-back came
    std::vector<std::optional<engine::ConfirmedWrite>> writes(results.size());
    for (size_t i : open)
        writes[i].emplace(results[i].mac,
                          engine::Written{network ? std::move(wantNetwork[i]) : std::nullopt,
                                          device ? std::move(wantDevice[i]) : std::nullopt},
                          client.Options().tries);
    // Each write holds what it wants now; a batch of devices need not hold it twice.
    std::vector<std::optional<NetworkParams>>().swap(wantNetwork);
    std::vector<std::optional<DeviceParams>>().swap(wantDevice);
    for (int round = 1; !open.empty() && !Interrupted(); ++round) {
        if (results.size() > 1 || round > 1)
            client.Note("write, round " + std::to_string(round) + ": " + std::to_string(open.size()) + " device(s)");
        std::vector<engine::ConfirmedWrite*> due;
        for (size_t i : open) due.push_back(&*writes[i]);
        const std::vector<engine::Next> next = RunRound(client, due, "read-back");
        std::vector<size_t> stillOpen;
        for (size_t k = 0; k < open.size(); ++k) {
            const size_t i = open[k];
            DeviceResult& r = results[i];
            const engine::ConfirmedWrite& w = *writes[i];
            r.writes = w.Round();
            r.acknowledged = w.Acknowledged();
            if (w.MissingRead()) {
                NoConfirmation(r, MissingText(*w.MissingRead(), "read-back"));
                settle(i);
                continue;
            }
            r.network = w.ReadBack()->network;
            r.device = w.ReadBack()->device;
            r.address = w.ReadBackAddress();
            readBack[i] = true;
            r.differences = w.Differences();
            // One that still differs after its last round is told after the
            // rest of the round, as before the rounds ran on the engine.
            if (next[k] == engine::Next::WriteAgain || !r.differences.empty()) {
                stillOpen.push_back(i);
                continue;
            }
            r.result = w.Word();
            settle(i);
        }
        open = std::move(stillOpen);
        if (round >= client.Options().tries) break;
    }
    // Left open by its last round, or by Ctrl-C.
    for (size_t i : open) {
        if (!results[i].writes) {
            results[i].result = NOT_WRITTEN;
            results[i].error = "interrupted (Ctrl-C) before it was written";
        } else {
            results[i].error = DiffersText(results[i]);
        }
        settle(i);
    }
    const std::vector<size_t> readBackList = Marked(readBack, true);
    Tell(plan.record, history::Stage::After, results, &readBackList);
    return results;
}

void ApplyPatchesInShares(Client& client, const std::vector<MacAddress>& macs,
                          const std::vector<settings::Patch>& patches, const Progress& progress, const ApplyPlan& plan,
                          const std::function<void(DeviceResult&&)>& take, size_t shareDevices)
{
    const size_t n = macs.size();
    size_t share = std::max({shareDevices, size_t(1), (n + MAX_SHARES - 1) / MAX_SHARES});
    // Patches of each device's own (a plan of addresses) and whole blocks (a
    // restore's) go as one: such a plan is all or nothing.
    const bool ownPatches = patches.size() != 1;
    if (plan.allOrNothing || ownPatches || !plan.networks.empty() || !plan.devices.empty()) share = std::max(share, n);
    for (size_t from = 0, to = 0; from < n; from = to) {
        to = std::min(n, from + share);
        const size_t retried = client.AnsweredOnRetry();
        const std::vector<MacAddress> part(macs.begin() + from, macs.begin() + to);
        const std::vector<settings::Patch> partPatches =
            ownPatches ? patches : std::vector<settings::Patch>(to - from, patches[0]);
        for (DeviceResult& r : ApplyPatches(client, part, partPatches, progress, plan)) take(std::move(r));
        // On a LAN that loses datagrams each share waits out the retries of
        // its last requests, an interval a stage: the rest go as one share,
        // which costs the memory the shares saved but not that time again.
        if (client.AnsweredOnRetry() > retried && to < n && share < n - to) {
            share = n - to;
            client.Note("replies came only after a request was sent again: the other " + std::to_string(share) +
                        " device(s) go as one share");
        }
    }
}

std::vector<DeviceResult> FactoryDefaults(Client& client, const std::vector<MacAddress>& macs,
                                          const Progress& progress, bool dryRun, const HistoryHook& record,
                                          bool acceptAcknowledgement)
{
    auto results = ResultsFor(macs);
    ReadInto(client, results, true, true, "read");
    Tell(record, dryRun ? history::Stage::Read : history::Stage::Before, results);
    if (dryRun) {
        Settle(results, progress, WOULD_CHANGE, NOT_WRITTEN);
        return results;
    }
    std::vector<std::optional<engine::FactoryReset>> resets(results.size());
    std::vector<size_t> open, spent;
    std::vector<bool> readBack(results.size(), false);
    for (size_t i = 0; i < results.size(); ++i) {
        if (!results[i].error.empty()) continue;
        resets[i].emplace(results[i].mac, *results[i].network, *results[i].device, client.Options().tries);
        open.push_back(i);
    }
    for (int round = 1; !open.empty() && !Interrupted(); ++round) {
        std::vector<engine::FactoryReset*> due;
        for (size_t i : open) due.push_back(&*resets[i]);
        const std::vector<engine::Next> next = RunRound(client, due, "read after the reset");
        std::vector<size_t> stillOpen;
        for (size_t k = 0; k < open.size(); ++k) {
            const size_t i = open[k];
            DeviceResult& r = results[i];
            const engine::FactoryReset& reset = *resets[i];
            r.writes = reset.Round();
            r.acknowledged = reset.Acknowledged();
            r.result = reset.Word();
            if (reset.MissingRead()) {
                NoConfirmation(r, MissingText(*reset.MissingRead(), "read after the reset"));
                continue;
            }
            r.network = reset.After()->network;
            r.device = reset.After()->device;
            r.address = reset.AfterAddress();
            readBack[i] = true;
            r.changed = reset.Changed();
            r.changes.clear();
            AddChanges(r.changes, Block::Network, *reset.Before().network, *r.network);
            AddChanges(r.changes, Block::Device, *reset.Before().device, *r.device);
            if (next[k] == engine::Next::WriteAgain)
                stillOpen.push_back(i);
            else if (!r.changed && !r.acknowledged)
                spent.push_back(i);
        }
        open = std::move(stillOpen);
    }
    for (size_t i : open) spent.push_back(i);
    for (size_t i : spent)
        results[i].error = "no acknowledgement after " + std::to_string(results[i].writes) +
                           " tries and the parameters did not change (they may already be the factory values)";
    for (DeviceResult& r : results)
        if (!acceptAcknowledgement && r.error.empty() && r.Is(Result::Acknowledged))
            r.error = "acknowledged, but the parameters read after it did not change: they may already be the "
                      "factory values, or the device took nothing (--allow-unconfirmed accepts the acknowledgement)";
    const std::vector<size_t> readBackList = Marked(readBack, true);
    Tell(record, history::Stage::After, results, &readBackList);
    Settle(results, progress, CONFIRMED, NOT_WRITTEN);
    return results;
}

DeviceResult WriteMac(Client& client, const MacAddress& mac, const MacAddress& newMac,
                      const std::vector<FoundDevice>& searched)
{
    DeviceResult r;
    r.mac = mac;
    if (mac != newMac) {
        const auto other = std::find_if(searched.begin(), searched.end(),
                                        [&](const FoundDevice& f) { return f.reply.mac == newMac; });
        if (other != searched.end()) {
            r.result = NOT_WRITTEN;
            r.error = "a device at " + AddressText(other->reply.ipAddress) + " already answers with " +
                      FormatMacText(newMac) + "; nothing written";
            return r;
        }
    }
    // The write goes out again each round, each time followed by a search
    // for the new address; an acknowledgement is noted, never waited for.
    engine::MacWrite write(mac, newMac, client.Options().tries);
    std::vector<FoundDevice> found;
    std::optional<size_t> holder; // the entry of `found` that answers with the new MAC
    for (;;) {
        const Request frame = write.NextRound();
        r.writes = write.Round();
        write.Heard(client.Exchange({frame})[0]);
        holder.reset();
        found = client.Search(
            client.Options().interval,
            [&](const std::vector<FoundDevice>& f, size_t heard) {
                if (f[heard].reply.mac == newMac) holder = heard;
                return holder.has_value();
            },
            [&](const ClassifiedReply& other) { write.Heard(other); }, 1);
        if (write.Searched(holder.has_value()) == engine::Next::Settled) break;
    }
    r.acknowledged = write.Acknowledged();
    if (holder) {
        const FoundDevice* f = &found[*holder];
        r.found = *f;
        r.ok = true;
        r.result = write.Word();
    } else {
        NoConfirmation(r, std::string(r.acknowledged ? "" : "no acknowledgement, and ") + "no search found " +
                              FormatMacText(newMac) + " after " + std::to_string(r.writes) + " tries");
    }
    return r;
}

} // namespace vornik::cli

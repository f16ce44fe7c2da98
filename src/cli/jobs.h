// What vornikctl does to devices: reads, writes confirmed by reading back,
// the factory reset and the MAC write, each over many devices at once.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/client.h"
#include "engine/confirm.h"
#include "engine/results.h"
#include "history/event.h"
#include "proto/dev_params.h"
#include "proto/net_params.h"
#include "settings/settings.h"

namespace vornik::cli {

struct DeviceResult {
    MacAddress mac{};
    bool ok = false;
    // What is known (unset until the result is settled); Word() is how it is told.
    std::optional<engine::Result> result;
    std::string error;                              // why not, when !ok
    std::optional<NetworkParams> network;           // as last read from the device
    std::optional<DeviceParams> device;
    std::vector<settings::Difference> differences;  // written and read back differ
    // The fields a write changes (or changed, or with --dry-run would change):
    // `expected` is the value read first, `actual` the new one.
    std::vector<settings::Difference> changes;
    int writes = 0;                                 // rounds of writing
    bool acknowledged = false;                      // the device acknowledged the (last) write
    bool changed = false;                           // the factory reset: the blocks read after it differ
    std::optional<FoundDevice> found;               // the MAC write's confirming search
    uint32_t address = 0;                           // where its last block came from (host order); 0 none
    bool networkWhole = true;                       // its network block came in a reply of the block's size

    std::string Word() const { return result ? std::string(engine::ResultWord(*result)) : std::string(); }
    bool Is(engine::Result r) const { return result == r; }
};

// Told of the blocks a job reads (the history's hook); each call holds the
// devices of one moment, so they can be stored in one transaction.
using HistoryHook = std::function<void(history::Stage, const std::vector<const DeviceResult*>&)>;

// The blocks the history last recorded for each of the devices, in their
// order (none for one it holds nothing of); asked once for a whole batch.
using RecordedBlocks = std::function<std::vector<std::optional<engine::Written>>(const std::vector<MacAddress>&)>;

// Called once per device when its result is settled.
using Progress = std::function<void(const DeviceResult&)>;

// What a write sends to a device that holds `device`: the patch's fields
// changed, every other byte as the device sent it (the address mode as the
// window sends it: the bare static or DHCP flag).
NetworkParams NetworkToWrite(const NetworkParams& device, const settings::Patch& patch);
DeviceParams DeviceToWrite(const DeviceParams& device, const settings::Patch& patch);

// The frames a write sends, built by the shared encoders from the device's
// own block with the patch's fields changed (bytes no field names go back as read).
Frame NetworkWriteFrame(const MacAddress& mac, const NetworkParams& written);
Frame DeviceWriteFrame(const MacAddress& mac, const DeviceParams& written);

std::vector<DeviceResult> ReadBlocks(Client& client, const std::vector<MacAddress>& macs, bool network, bool device,
                                     const Progress& progress = {}, const HistoryHook& record = {});

// Reads the blocks the patch touches, changes the patch's fields, writes, and
// reads back until both agree (a write round per try); a device is confirmed
// only when the read-back equals what was written. A device that holds the
// patch's values already is not written ("unchanged"); with `dryRun` no
// device is ("would change" or "unchanged").
std::vector<DeviceResult> ApplyPatch(Client& client, const std::vector<MacAddress>& macs, const settings::Patch& patch,
                                     const Progress& progress = {}, bool dryRun = false);

struct ApplyPlan {
    bool dryRun = false;
    // Asked of each device that would change, with the block it was read
    // with and the one that would be written; a reason refuses its write.
    std::function<std::string(const DeviceResult& read, const NetworkParams& written)> check;
    // Devices given addresses of their own are one plan: a refusal for any
    // leaves every device unwritten, or the plan would end half applied.
    bool allOrNothing = false;
    HistoryHook record;
    // The blocks the history last recorded for each device: a read that
    // agrees with them needs no second read before it is written.
    RecordedBlocks recorded;
    // Whole blocks to write (a restore): device i is given networks[i] and
    // devices[i], when set, every byte as it stands, in place of its own
    // block with its patch's fields changed.
    std::vector<std::optional<NetworkParams>> networks;
    std::vector<std::optional<DeviceParams>> devices;
    // With whole blocks: the six network bytes no field shows stay the
    // device's own (a replacement takes its predecessor's settings, not what
    // the device keeps of itself there).
    bool keepCarriedBytes = false;
};
// As ApplyPatch, each device (macs[i]) with a patch of its own (patches[i]).
// A device is written only from blocks read consistently (engine::ReadsAgree):
// read twice alike, or once alike what the history recorded; otherwise it is
// not written and its result says why.
std::vector<DeviceResult> ApplyPatches(Client& client, const std::vector<MacAddress>& macs,
                                       const std::vector<settings::Patch>& patches, const Progress& progress,
                                       const ApplyPlan& plan);

// ApplyPatches over a fleet, a share of the devices at a time from the read
// to the result: each result goes to `take` as its share ends and is not
// kept, so memory holds one share's blocks and writes however many devices
// there are. `patches` is one per device, or one for all. The shares are few
// (each waits out its own retries), never smaller than `shareDevices`. One
// share takes an all-or-nothing plan, patches of each device's own, a plan
// of whole blocks (a restore's), and the devices left once a share had a
// reply only after a request was sent again (on a LAN that loses datagrams
// each share would wait out its retries).
inline constexpr size_t SHARE_DEVICES = 1024;
inline constexpr size_t MAX_SHARES = 8;
void ApplyPatchesInShares(Client& client, const std::vector<MacAddress>& macs,
                          const std::vector<settings::Patch>& patches, const Progress& progress, const ApplyPlan& plan,
                          const std::function<void(DeviceResult&&)>& take, size_t shareDevices = SHARE_DEVICES);

// The factory reset, confirmed by its acknowledgement or by blocks that
// changed; the blocks read afterwards are in the result. With `dryRun` the
// devices are only read: the factory values are each device's own and not
// known here, so each that answers "would change".
// A reset only acknowledged, the blocks read after it unchanged, is not done
// (the device may have taken nothing) unless `acceptAcknowledgement`.
std::vector<DeviceResult> FactoryDefaults(Client& client, const std::vector<MacAddress>& macs,
                                          const Progress& progress = {}, bool dryRun = false,
                                          const HistoryHook& record = {}, bool acceptAcknowledgement = false);

// The MAC write, confirmed by a search that finds the new address. Refused
// when a device in `searched` (a search just made) answers with the new address.
DeviceResult WriteMac(Client& client, const MacAddress& mac, const MacAddress& newMac,
                      const std::vector<FoundDevice>& searched);

// Refuses a network write that moves a device onto the address another
// device answers with (one in `searched` outside `batch`), or whose mask or
// gateway cannot work; the reason names the other device or the field.
// `held` are addresses devices that answered hold in their network blocks
// (which may not be the address they answer with), with the device.
std::function<std::string(const DeviceResult&, const NetworkParams&)>
AddressingCheck(const std::vector<FoundDevice>& searched, const std::vector<MacAddress>& batch,
                const std::vector<std::pair<uint32_t, MacAddress>>& held = {});

// A write to a MAC that more than one device answers with reaches them all:
// such MACs leave `macs` and come back refused, naming the addresses that
// answered, unless `allWithMac`. The search is one interval long.
std::vector<DeviceResult> RefuseSharedMacs(const std::vector<FoundDevice>& searched, std::vector<MacAddress>& macs,
                                           bool allWithMac);

} // namespace vornik::cli

// vornikctl mac set MAC NEW-MAC
#include <iostream>

#include "cli/context.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

struct MacOptions {
    std::string mac;
    std::string newMac;
    bool allWithMac = false;
};

void CheckNewMac(const MacAddress& mac)
{
    const char* why = nullptr;
    switch (UnassignableMac(mac)) {
    case MacUnfit::None: return;
    case MacUnfit::Broadcast: why = "is the broadcast address"; break;
    case MacUnfit::AllZero: why = "is all zero"; break;
    case MacUnfit::Multicast: why = "is a multicast address (first byte odd)"; break;
    }
    throw UsageError{{"NEW-MAC", "NEW-MAC: " + FormatMacText(mac) + " " + why + "; no device may have it"}};
}

int RunMacSet(const MacOptions& options, const Context& context)
{
    Session session(context);
    const MacAddress target = MacArgument("MAC", options.mac);
    const MacAddress newMac = MacArgument("NEW-MAC", options.newMac);
    CheckNewMac(newMac);
    Client* client = session.Start();
    if (!client) return session.NoLink();
    const auto searched = client->Search(client->Options().interval);
    std::vector<MacAddress> macs{target};
    const auto refused = RefuseSharedMacs(searched, macs, options.allWithMac);
    if (!refused.empty()) return ReportResults(context, refused);
    const HistoryHook record = session.Record();
    if (!record) return ReportResults(context, {WriteMac(*client, target, newMac, searched)});
    // The history follows the device to its new MAC: the blocks it holds are
    // recorded before the write under both MACs (a MAC write changes no block,
    // so a restore under either finds them), and after it under the new one.
    DeviceResult before = ReadBlocks(*client, {target}, true, true).front();
    if (before.ok) {
        DeviceResult underNew = before;
        underNew.mac = newMac;
        record(history::Stage::Before, {&before, &underNew});
    } else {
        std::cerr << "vornikctl: the history keeps no record of this MAC write: " << before.error << "\n";
    }
    DeviceResult result = WriteMac(*client, target, newMac, searched);
    if (result.ok && before.ok) {
        DeviceResult after = ReadBlocks(*client, {newMac}, true, true).front();
        if (!after.ok) {
            // Found under its new MAC but not read: it holds what it held.
            after = before;
            after.mac = newMac;
            after.address = result.found->source;
        }
        record(history::Stage::After, {&after});
    }
    return ReportResults(context, {result});
}

} // namespace

void AddMacCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<MacOptions>();
    auto* mac = app.add_subcommand("mac", "the MAC address")->require_subcommand(1);
    auto* set = mac->add_subcommand("set", "write a new MAC address, confirmed by a search that finds it");
    set->add_option("MAC", options->mac, "the device's MAC address now")->required();
    set->add_option("NEW-MAC", options->newMac, "its new MAC address")->required();
    set->add_flag("--all-with-mac", options->allWithMac, "write every device that answers with this MAC");
    set->callback([options, &context] { context.exitCode = RunMacSet(*options, context); });
}

} // namespace vornik::cli

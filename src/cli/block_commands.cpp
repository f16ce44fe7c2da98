// vornikctl net get MAC...   vornikctl net set MAC FIELD=VALUE...
// vornikctl dev get MAC...   vornikctl dev set MAC FIELD=VALUE...
#include "cli/context.h"
#include "cli/console.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

using settings::Block;

struct GetOptions {
    std::vector<std::string> macs;
};

struct SetOptions {
    std::string mac;
    std::vector<std::string> assignments;
    bool allWithMac = false;
    bool dryRun = false;
    bool force = false;
};

int RunGet(Block block, const GetOptions& options, const Context& context)
{
    Session session(context);
    const auto macs = MacArguments(options.macs);
    Client* client = session.Start();
    if (!client) return session.NoLink();
    const bool network = block == Block::Network;
    const auto results = ReadBlocks(*client, macs, network, !network, {}, session.Record());
    return ReportResults(context, results, [&](const DeviceResult& r) {
        Print("%s\n", FormatMacText(r.mac).c_str());
        if (network)
            PrintFields(*r.network);
        else
            PrintFields(*r.device);
    });
}

int RunSet(Block block, const SetOptions& options, const Context& context)
{
    Session session(context);
    const MacAddress target = MacArgument("MAC", options.mac);
    const settings::Patch patch = AssignmentsPatch(block, options.assignments);
    Client* client = session.Start();
    if (!client) return session.NoLink();
    std::vector<MacAddress> macs{target};
    const auto searched = client->Search(client->Options().interval);
    auto refused = RefuseSharedMacs(searched, macs, options.allWithMac);
    if (!refused.empty()) return ReportResults(context, refused);
    ApplyPlan plan = session.WritePlan();
    plan.dryRun = options.dryRun;
    if (block == Block::Network && !options.force) plan.check = AddressingCheck(searched, macs);
    return ReportResults(context, ApplyPatches(*client, macs, {patch}, {}, plan));
}

void AddBlockCommand(CLI::App& app, Context& context, Block block)
{
    const bool network = block == Block::Network;
    auto* parent = app.add_subcommand(network ? "net" : "dev", network ? "network parameters" : "device parameters")
                       ->require_subcommand(1);

    auto get = std::make_shared<GetOptions>();
    auto* getCommand = parent->add_subcommand("get", network ? "read the network parameters" : "read the device parameters");
    getCommand->add_option("MAC", get->macs, "device MAC address(es)")->required();
    getCommand->callback([get, block, &context] { context.exitCode = RunGet(block, *get, context); });

    auto set = std::make_shared<SetOptions>();
    auto* setCommand = parent->add_subcommand(
        "set", network ? "change network fields, confirmed by read-back" : "change device fields, confirmed by read-back");
    setCommand->add_option("MAC", set->mac, "device MAC address")->required();
    setCommand
        ->add_option("FIELD=VALUE", set->assignments,
                     network ? "e.g. ip=192.168.0.20 server3.target-port=4001" : "e.g. baud=9600 channel4.temp-upper=25.3")
        ->required();
    setCommand->add_flag("--all-with-mac", set->allWithMac, "write every device that answers with this MAC");
    setCommand->add_flag("--dry-run", set->dryRun, "read only and show what would change; write nothing");
    if (network)
        setCommand->add_flag("--force", set->force,
                             "write an ip another device answers with, a broken mask or a gateway outside the subnet");
    setCommand->callback([set, block, &context] {
        context.comparesValues = true;
        context.dryRun = set->dryRun;
        context.exitCode = RunSet(block, *set, context);
    });
}

} // namespace

void AddBlockCommands(CLI::App& app, Context& context)
{
    AddBlockCommand(app, context, Block::Network);
    AddBlockCommand(app, context, Block::Device);
}

} // namespace vornik::cli

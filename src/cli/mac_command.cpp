// vornikctl mac set MAC NEW-MAC
#include "cli/context.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

struct MacOptions {
    std::string mac;
    std::string newMac;
};

int RunMacSet(const MacOptions& options, const Context& context)
{
    Session session(context);
    const MacAddress target = MacArgument("MAC", options.mac);
    const MacAddress newMac = MacArgument("NEW-MAC", options.newMac);
    Client* client = session.Start();
    if (!client) return session.NoLink();
    return ReportResults(context, {WriteMac(*client, target, newMac)});
}

} // namespace

void AddMacCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<MacOptions>();
    auto* mac = app.add_subcommand("mac", "the MAC address")->require_subcommand(1);
    auto* set = mac->add_subcommand("set", "write a new MAC address, confirmed by a search that finds it");
    set->add_option("MAC", options->mac, "the device's MAC address now")->required();
    set->add_option("NEW-MAC", options->newMac, "its new MAC address")->required();
    set->callback([options, &context] { context.exitCode = RunMacSet(*options, context); });
}

} // namespace vornik::cli

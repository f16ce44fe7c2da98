// vornikctl defaults MAC...
#include "cli/context.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

struct DefaultsOptions {
    std::vector<std::string> macs;
    bool allWithMac = false;
    bool dryRun = false;
    bool allowUnconfirmed = false;
};

int RunDefaults(const DefaultsOptions& options, const Context& context)
{
    Session session(context);
    auto macs = MacArguments(options.macs);
    Client* client = session.Start();
    if (!client) return session.NoLink();
    const auto refused = RefuseSharedMacs(client->Search(client->Options().interval), macs, options.allWithMac);
    auto results = FactoryDefaults(*client, macs, LineProgress(context.globals, macs.size()), options.dryRun,
                                   session.Record(), options.allowUnconfirmed);
    results.insert(results.end(), refused.begin(), refused.end());
    return ReportResults(context, results);
}

} // namespace

void AddDefaultsCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<DefaultsOptions>();
    auto* defaults = app.add_subcommand("defaults", "reset device(s) to the factory settings");
    defaults->add_option("MAC", options->macs, "device MAC address(es)")->required();
    defaults->add_flag("--all-with-mac", options->allWithMac, "reset every device that answers with a MAC given");
    defaults->add_flag("--allow-unconfirmed", options->allowUnconfirmed,
                       "take a device's acknowledgement as done even when the parameters read after it did not change");
    defaults->add_flag("--dry-run", options->dryRun, "read only: check that each device answers; reset nothing");
    defaults->callback([options, &context] {
        context.comparesValues = true;
        context.dryRun = options->dryRun;
        context.exitCode = RunDefaults(*options, context);
    });
}

} // namespace vornik::cli

// vornikctl defaults MAC...
#include "cli/context.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

struct DefaultsOptions {
    std::vector<std::string> macs;
};

int RunDefaults(const DefaultsOptions& options, const Context& context)
{
    Session session(context);
    const auto macs = MacArguments(options.macs);
    Client* client = session.Start();
    if (!client) return session.NoLink();
    return ReportResults(context, FactoryDefaults(*client, macs, LineProgress(context.globals, macs.size())));
}

} // namespace

void AddDefaultsCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<DefaultsOptions>();
    auto* defaults = app.add_subcommand("defaults", "reset device(s) to the factory settings");
    defaults->add_option("MAC", options->macs, "device MAC address(es)")->required();
    defaults->callback([options, &context] { context.exitCode = RunDefaults(*options, context); });
}

} // namespace vornik::cli

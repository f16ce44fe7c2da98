// vornikctl search [--wait S]
#include "cli/context.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

struct SearchOptions {
    double wait = 1.0;
};

int RunSearch(const SearchOptions& options, const Context& context)
{
    Session session(context);
    const auto wait = WaitArgument(options.wait);
    Client* client = session.Start();
    if (!client) return session.NoLink();
    ReportFound(context, client->Search(wait));
    return EXIT_CONFIRMED;
}

} // namespace

void AddSearchCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<SearchOptions>();
    auto* search = app.add_subcommand("search", "list every device that answers a search");
    search->add_option("--wait", options->wait, "seconds to gather replies (default 1)");
    search->callback([options, &context] { context.exitCode = RunSearch(*options, context); });
}

} // namespace vornik::cli

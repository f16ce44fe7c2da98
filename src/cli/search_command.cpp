// vornikctl search [--wait S] [--expect N]
#include "cli/context.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

struct SearchOptions {
    double wait = 1.0;
    size_t expect = 0;
};

int RunSearch(const SearchOptions& options, const Context& context)
{
    Session session(context);
    const auto wait = WaitArgument(options.wait);
    Client* client = session.Start();
    if (!client) return session.NoLink();
    const auto found = client->Search(wait, SearchPlanFor(*client, options.expect));
    const bool enough = found.size() >= options.expect;
    ReportFound(context, found, options.expect);
    return enough && context.RecordError().empty() ? EXIT_CONFIRMED : EXIT_DEVICE_FAILED;
}

} // namespace

void AddSearchCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<SearchOptions>();
    auto* search = app.add_subcommand("search", "list every device that answers a search");
    search->add_option("--wait", options->wait, "seconds to gather replies (default 1)");
    search->add_option("--expect", options->expect, "exit 1 when fewer devices than this answer")
        ->check(CountArgument());
    search->callback([options, &context] { context.exitCode = RunSearch(*options, context); });
}

} // namespace vornik::cli

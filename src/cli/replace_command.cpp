// vornikctl replace OLD-MAC NEW-MAC: gives a new device the settings its
// predecessor last showed in the settings history, its address included:
// every field of both blocks, but not the six network bytes no field shows,
// which stay the new device's own.
#include <chrono>
#include <limits>

#include "cli/context.h"
#include "cli/recorded_writes.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

struct ReplaceOptions {
    std::string oldMac;
    std::string newMac;
    bool dryRun = false;
    bool force = false;
};

int RunReplace(const ReplaceOptions& options, const Context& context)
{
#ifdef VORNIK_HISTORY
    const Globals& g = context.globals;
    if (g.noHistory) throw UsageError{{"--no-history", "replace: --no-history leaves no history to take settings from"}};
    const MacAddress oldMac = MacArgument("OLD-MAC", options.oldMac);
    const MacAddress newMac = MacArgument("NEW-MAC", options.newMac);
    if (oldMac == newMac) throw UsageError{{"NEW-MAC", "replace: NEW-MAC is OLD-MAC"}};
    Session session(context);
    const std::string path = g.history.empty() ? history::DefaultPath() : g.history;
    auto opened = history::Store::Open(path, {.create = false});
    if (auto* error = std::get_if<history::Error>(&opened))
        throw UsageError{{"--history", error->message}, EXIT_DEVICE_FAILED};
    // Each block as the old device last showed it.
    auto state = std::get<history::Store>(opened).StateAt(oldMac, std::numeric_limits<int64_t>::max());
    if (auto* error = std::get_if<history::Error>(&state))
        throw UsageError{{"--history", error->message}, EXIT_DEVICE_FAILED};
    const auto& event = std::get<std::optional<history::Event>>(state);
    std::vector<std::pair<MacAddress, history::Event>> recorded;
    std::vector<DeviceResult> missing;
    if (event) {
        recorded.emplace_back(newMac, *event);
    } else {
        DeviceResult r;
        r.mac = newMac;
        r.result = engine::Result::NotWritten;
        r.error = "the history holds no block of " + FormatMacText(oldMac);
        missing.push_back(std::move(r));
    }
    // The old device, if it still answers, holds the address, whether it
    // answers with it or only its block holds it: the address check refuses
    // the write unless --force.
    return WriteRecorded(context, session, recorded, std::move(missing), options.dryRun, options.force, false, oldMac);
#else
    (void)options;
    (void)context;
    throw UsageError{{"replace", "replace: this build of vornikctl keeps no settings history"}};
#endif
}

} // namespace

void AddReplaceCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<ReplaceOptions>();
    auto* command = app.add_subcommand(
        "replace", "give a new device the settings the old one last showed in the settings history, its address "
                   "included (every field; the network block's six bytes no field shows stay the new device's)");
    command->add_option("OLD-MAC", options->oldMac, "the device replaced")->required();
    command->add_option("NEW-MAC", options->newMac, "the device that takes its place")->required();
    command->add_flag("--dry-run", options->dryRun, "read only and show what would change; write nothing");
    command->add_flag("--force", options->force,
                      "write the address even when another device (the old one, still on) answers with it");
    command->callback([options, &context] {
        context.comparesValues = true;
        context.dryRun = options->dryRun;
        context.exitCode = RunReplace(*options, context);
    });
}

} // namespace vornik::cli

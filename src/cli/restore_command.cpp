// vornikctl restore MAC... [--at TIME | --before-last-write] [--dry-run]:
// writes blocks recorded in the settings history back, every byte,
// confirmed by read-back as every write.
#include <cctype>
#include <cstdio>
#include <ctime>
#include <algorithm>
#include <iostream>

#include "cli/context.h"
#include "cli/recorded_writes.h"
#include "cli/reporter.h"

#ifdef VORNIK_HISTORY
#include "history/history.h"
#endif

namespace vornik::cli {

namespace {

struct RestoreOptions {
    std::vector<std::string> macs;
    std::string at;
    bool beforeLastWrite = false;
    bool dryRun = false;
    bool force = false;
    bool allWithMac = false;
};

#ifdef VORNIK_HISTORY
} // namespace

int WriteRecorded(const Context& context, Session& session,
                  const std::vector<std::pair<MacAddress, history::Event>>& recorded, std::vector<DeviceResult> missing,
                  bool dryRun, bool force, bool allWithMac, const std::optional<MacAddress>& replacing)
{
    if (recorded.empty()) return ReportResults(context, missing);
    Client* client = session.Start();
    if (!client) return session.NoLink();
    std::vector<MacAddress> macs;
    for (const auto& [mac, event] : recorded) macs.push_back(mac);
    const auto searched = client->Search(client->Options().interval);
    auto refused = RefuseSharedMacs(searched, macs, allWithMac);
    if (!refused.empty()) {
        refused.insert(refused.end(), missing.begin(), missing.end());
        return ReportResults(context, refused);
    }
    ApplyPlan plan = session.WritePlan();
    for (const auto& [mac, event] : recorded) {
        plan.networks.push_back(event.network ? std::optional(DecodeNetworkParams(*event.network)) : std::nullopt);
        plan.devices.push_back(event.device ? std::optional(DecodeDeviceBlock(*event.device)) : std::nullopt);
    }
    plan.dryRun = dryRun;
    std::vector<std::pair<uint32_t, MacAddress>> held;
    if (replacing) {
        plan.keepCarriedBytes = true;
        // A predecessor still on answers with one address and may hold
        // another in its block (a DHCP lease and a static address it takes
        // again at its next start): both are taken. Its block unread, the
        // one recorded stands for it.
        if (std::any_of(searched.begin(), searched.end(), [&](const FoundDevice& f) { return f.reply.mac == *replacing; })) {
            const DeviceResult old = ReadBlocks(*client, {*replacing}, true, false).front();
            if (old.ok)
                held.emplace_back(old.network->ipAddress, *replacing);
            else
                for (const auto& [mac, event] : recorded)
                    if (event.network) held.emplace_back(DecodeNetworkParams(*event.network).ipAddress, *replacing);
        }
    }
    if (!force) plan.check = AddressingCheck(searched, macs, held);
    auto results = ApplyPatches(*client, macs, std::vector<settings::Patch>(macs.size()),
                                LineProgress(context.globals, macs.size()), plan);
    results.insert(results.end(), missing.begin(), missing.end());
    return ReportResults(context, results);
}

namespace {

int RunRestore(const RestoreOptions& options, const Context& context)
{
    const Globals& g = context.globals;
    if (g.noHistory) throw UsageError{{"--no-history", "restore: --no-history leaves no history to restore from"}};
    if (!options.at.empty() && options.beforeLastWrite)
        throw UsageError{{"--at", "restore: give --at or --before-last-write, not both"}};
    std::optional<int64_t> at;
    if (!options.at.empty()) {
        at = history::ParseTimeText(options.at);
        if (!at)
            throw UsageError{{"--at", "--at: '" + options.at + "' must be a UTC time as 2026-12-08T07:01:02Z"}};
    }
    Session session(context);
    auto macs = MacArguments(options.macs);
    const std::string path = g.history.empty() ? history::DefaultPath() : g.history;
    auto opened = history::Store::Open(path, {.create = false});
    if (auto* error = std::get_if<history::Error>(&opened)) throw UsageError{{"--history", error->message}, EXIT_DEVICE_FAILED};
    const history::Store& store = std::get<history::Store>(opened);

    // Each device's recorded blocks; a device with none is refused before anything is sent.
    std::vector<DeviceResult> missing;
    std::vector<std::pair<MacAddress, history::Event>> recorded;
    for (const MacAddress& mac : macs) {
        auto state = at ? store.StateAt(mac, *at) : store.BeforeLastWrite(mac);
        if (auto* error = std::get_if<history::Error>(&state))
            throw UsageError{{"--history", error->message}, EXIT_DEVICE_FAILED};
        const auto& event = std::get<std::optional<history::Event>>(state);
        if (!event) {
            DeviceResult r;
            r.mac = mac;
            r.result = engine::Result::NotWritten;
            r.error = at ? "the history holds no block of it at or before " + options.at
                         : "the history holds no write of it";
            missing.push_back(std::move(r));
            continue;
        }
        recorded.emplace_back(mac, *event);
    }

    return WriteRecorded(context, session, recorded, std::move(missing), options.dryRun, options.force,
                         options.allWithMac);
}
#else
int RunRestore(const RestoreOptions&, const Context&)
{
    throw UsageError{{"restore", "restore: this build of vornikctl keeps no settings history"}};
}
#endif

} // namespace

void AddRestoreCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<RestoreOptions>();
    auto* command = app.add_subcommand(
        "restore", "write blocks recorded in the settings history back, every byte, confirmed by read-back");
    command->add_option("MAC", options->macs, "device MAC address(es)")->required();
    command->add_option("--at", options->at, "the blocks each device held at this UTC time (2026-12-08T07:01:02Z)");
    command->add_flag("--before-last-write", options->beforeLastWrite,
                      "the blocks as read just before each device's last write (the default)");
    command->add_flag("--dry-run", options->dryRun, "read only and show what would change; write nothing");
    command->add_flag("--force", options->force,
                      "write an address another device answers with, a broken mask or a gateway outside the subnet");
    command->add_flag("--all-with-mac", options->allWithMac, "write every device that answers with a MAC given");
    command->callback([options, &context] {
        context.comparesValues = true;
        context.dryRun = options->dryRun;
        context.exitCode = RunRestore(*options, context);
    });
}

} // namespace vornik::cli

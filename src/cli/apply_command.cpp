// vornikctl apply FILE (MAC... | --all) [--identity] [--wait S]
#include <algorithm>
#include <iostream>

#include "cli/context.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

using settings::Block;

struct ApplyOptions {
    std::string file;
    std::vector<std::string> macs;
    bool all = false;
    bool identity = false;
    double wait = 1.0;
    size_t expect = 0;
    bool dryRun = false;
};

settings::Patch ReadPatch(const std::string& file)
{
    auto read = settings::PatchFromFileText(ReadSettingsFile(file));
    if (auto* error = std::get_if<settings::InputError>(&read)) throw UsageError{*error};
    return std::get<settings::Patch>(std::move(read));
}

// Unless --identity, every device keeps its own address and terminal address.
void KeepIdentities(settings::Patch& patch, bool identity, const Globals& g)
{
    if (!identity) {
        for (const auto& [block, name] : {std::pair{Block::Network, "ip"}, {Block::Device, "terminal-address"}}) {
            if (patch.Contains(block, name) && !g.quiet)
                std::cerr << "vornikctl: " << name << " is left as each device has it (--identity applies it)\n";
            patch.Erase(block, name);
        }
    }
    if (patch.Empty()) throw UsageError{{"FILE", "the settings file changes no field"}};
}

int RunApply(const ApplyOptions& options, const Context& context)
{
    Session session(context);
    const auto wait = WaitArgument(options.wait);
    settings::Patch patch = ReadPatch(options.file);
    if (options.all == !options.macs.empty())
        throw UsageError{{"MAC", "apply: give device MAC address(es) or --all, not both and not neither"}};
    std::vector<MacAddress> macs = MacArguments(options.macs);
    if (options.identity && (options.all || macs.size() != 1))
        throw UsageError{{"--identity", "--identity applies one device's address; give exactly one MAC"}};
    KeepIdentities(patch, options.identity, context.globals);

    Client* client = session.Start();
    if (!client) return session.NoLink();
    std::vector<DeviceResult> skipped;
    size_t foundCount = 0;
    if (options.all) {
        const auto found = client->Search(wait, SearchPlanFor(*client, options.expect));
        foundCount = found.size();
        for (const auto& f : found) {
            if (std::find(macs.begin(), macs.end(), f.reply.mac) != macs.end()) continue;
            if (f.duplicateMac) {
                if (std::any_of(skipped.begin(), skipped.end(),
                                [&](const DeviceResult& x) { return x.mac == f.reply.mac; }))
                    continue;
                DeviceResult r;
                r.mac = f.reply.mac;
                r.error = "more than one device answers with this MAC address; not written";
                skipped.push_back(r);
                continue;
            }
            macs.push_back(f.reply.mac);
        }
        client->Note("apply to " + std::to_string(macs.size()) + " device(s) found");
    }
    auto results = ApplyPatch(*client, macs, patch, LineProgress(context.globals, macs.size()), options.dryRun);
    for (auto& r : skipped)
        if (std::none_of(results.begin(), results.end(), [&](const DeviceResult& x) { return x.mac == r.mac; }))
            results.push_back(r);
    if (results.empty()) {
        // Nothing answered the search, so nothing was applied.
        std::cerr << "vornikctl: no device found\n";
        if (context.globals.json) Emit(ErrorDoc(context.Command(), "--all", "no device answered the search"));
        return EXIT_DEVICE_FAILED;
    }
    std::string shortfall;
    if (options.all && foundCount < options.expect)
        shortfall = std::to_string(foundCount) + " device(s) answered the search, " +
                    std::to_string(options.expect) + " expected";
    return ReportResults(context, results, {}, shortfall);
}

} // namespace

void AddApplyCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<ApplyOptions>();
    auto* apply = app.add_subcommand("apply", "apply a settings file (or a part of one) to devices, each confirmed");
    apply->add_option("FILE", options->file, "the settings file")->required();
    apply->add_option("MAC", options->macs, "device MAC address(es)");
    apply->add_flag("--all", options->all, "every device a search finds");
    apply->add_flag("--identity", options->identity, "also apply ip and terminal-address (one device only)");
    apply->add_option("--wait", options->wait, "with --all: seconds to gather search replies (default 1)");
    apply->add_option("--expect", options->expect, "with --all: exit 1 when fewer devices than this answer");
    apply->add_flag("--dry-run", options->dryRun, "read only and show what would change; write nothing");
    apply->callback([options, &context] {
        context.comparesValues = true;
        context.dryRun = options->dryRun;
        context.exitCode = RunApply(*options, context);
    });
}

} // namespace vornik::cli

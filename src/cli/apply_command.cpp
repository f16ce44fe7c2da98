// vornikctl apply FILE (MAC... | --all | --identities CSV) [--identity | --ip-from A.B.C.D] [--wait S]
#include <algorithm>
#include <iostream>
#include <unordered_set>

#include "cli/context.h"
#include "cli/identities.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

using settings::Block;

struct ApplyOptions {
    std::string file;
    std::vector<std::string> macs;
    bool all = false;
    bool identity = false;
    std::string identities;
    std::string ipFrom;
    double wait = 1.0;
    size_t expect = 0;
    bool dryRun = false;
    bool force = false;
};

settings::Patch ReadPatch(const std::string& file)
{
    auto read = settings::PatchFromFileText(ReadSettingsFile(file));
    if (auto* error = std::get_if<settings::InputError>(&read)) throw UsageError{*error};
    return std::get<settings::Patch>(std::move(read));
}

// Unless --identity, every device keeps its own address and terminal address
// (or takes those --identities or --ip-from give it).
void KeepIdentities(settings::Patch& patch, const ApplyOptions& options, const Globals& g)
{
    if (options.identity) return;
    const bool given = !options.identities.empty() || !options.ipFrom.empty();
    for (const auto& [block, name] : {std::pair{Block::Network, "ip"}, {Block::Device, "terminal-address"}}) {
        if (patch.Contains(block, name) && !g.quiet)
            std::cerr << "vornikctl: " << name << " in the file is left out: "
                      << (given ? "each device takes its own from --identities or --ip-from, or keeps it\n"
                                : "each device keeps its own (--identity applies it)\n");
        patch.Erase(block, name);
    }
    if (patch.Empty() && !given) throw UsageError{{"FILE", "the settings file changes no field"}};
}

void CheckCombination(const ApplyOptions& o, size_t macCount)
{
    const bool csv = !o.identities.empty(), numbered = !o.ipFrom.empty();
    if (csv) {
        if (o.all || macCount) throw UsageError{{"--identities", "--identities lists the devices; give no MAC and no --all"}};
    } else if (o.all == (macCount != 0)) {
        throw UsageError{{"MAC", "apply: give device MAC address(es), --all or --identities"}};
    }
    if (int(o.identity) + int(csv) + int(numbered) > 1)
        throw UsageError{{"--identity", "give one of --identity, --identities and --ip-from"}};
    if (o.identity && (o.all || macCount != 1))
        throw UsageError{{"--identity", "--identity applies one device's address; give exactly one MAC"}};
}

int RunApply(const ApplyOptions& options, const Context& context)
{
    Session session(context);
    const auto wait = WaitArgument(options.wait);
    settings::Patch patch = ReadPatch(options.file);
    std::vector<MacAddress> macs = MacArguments(options.macs);
    CheckCombination(options, macs.size());
    KeepIdentities(patch, options, context.globals);
    std::vector<Identity> identities;
    if (!options.identities.empty()) identities = ReadIdentities(options.identities, patch);
    if (!options.ipFrom.empty() && !options.all) identities = NumberedIdentities(macs, options.ipFrom, patch);

    Client* client = session.Start();
    if (!client) return session.NoLink();
    std::vector<DeviceResult> skipped;
    size_t foundCount = 0;
    std::vector<FoundDevice> found;
    if (options.all || !identities.empty()) {
        found = client->Search(wait, SearchPlanFor(*client, options.expect));
        foundCount = found.size();
    } else {
        // Named devices are searched for too: the address check needs the
        // addresses others answer with, and a MAC two devices share must not
        // be written into both.
        found = client->Search(client->Options().interval);
    }
    if (!options.identities.empty()) {
        // Every device the file lists must answer before any is written.
        std::unordered_set<uint64_t> answered;
        for (const auto& f : found) answered.insert(MacKey(f.reply.mac));
        std::vector<DeviceResult> missing;
        for (const Identity& id : identities)
            if (!answered.count(MacKey(id.mac))) {
                DeviceResult r;
                r.mac = id.mac;
                r.result = engine::Result::NotWritten;
                r.error = "listed in " + options.identities + " but no search found it; no device was written";
                missing.push_back(r);
            }
        if (!missing.empty()) return ReportResults(context, missing);
        for (const Identity& id : identities) macs.push_back(id.mac);
    }
    if (!options.all) {
        skipped = RefuseSharedMacs(found, macs, false);
        std::unordered_set<uint64_t> kept;
        for (const MacAddress& mac : macs) kept.insert(MacKey(mac));
        std::erase_if(identities, [&](const Identity& id) { return !kept.count(MacKey(id.mac)); });
    }
    if (options.all) {
        std::unordered_set<uint64_t> taken;
        for (const auto& f : found) {
            if (!taken.insert(MacKey(f.reply.mac)).second) continue;
            if (f.SharedMac()) {
                DeviceResult r;
                r.mac = f.reply.mac;
                r.result = engine::Result::NotWritten;
                r.error = f.duplicateMac ? "more than one device answers with this MAC address; not written"
                                         : "more replies came with this MAC address and IP than the search explains: "
                                           "more than one device may answer with it; not written";
                skipped.push_back(r);
                continue;
            }
            macs.push_back(f.reply.mac);
        }
        client->Note("apply to " + std::to_string(macs.size()) + " device(s) found");
        if (!options.ipFrom.empty()) {
            // Numbered once the devices are known; still before anything is written.
            identities = NumberedIdentities(macs, options.ipFrom, patch);
        }
    }
    // One patch for every device, or each device's own.
    std::vector<settings::Patch> patches{patch};
    if (!identities.empty()) {
        macs.clear();
        patches.clear();
        for (Identity& id : identities) {
            macs.push_back(id.mac);
            patches.push_back(std::move(id.patch));
        }
    }
    std::string shortfall;
    if (options.all && foundCount < options.expect) {
        // The devices missing might be any of them, and --ip-from would number
        // the rest wrongly: a fleet short of its count is left as it is.
        shortfall = std::to_string(foundCount) + " device(s) answered the search, " +
                    std::to_string(options.expect) + " expected";
        ResultReport report(context);
        for (const DeviceResult& r : skipped) report.Add(r);
        for (const MacAddress& mac : macs) {
            DeviceResult r;
            r.mac = mac;
            r.result = engine::Result::NotWritten;
            r.error = "not written: " + shortfall;
            report.Add(r);
        }
        return report.Finish(shortfall);
    }
    ApplyPlan plan = session.WritePlan();
    plan.dryRun = options.dryRun;
    plan.allOrNothing = !identities.empty();
    if (!options.force) plan.check = AddressingCheck(found, macs);
    // The check keeps what it needs of the search; the rest is a fleet's worth.
    std::vector<FoundDevice>().swap(found);
    // Each result is told as its share of the fleet ends and is not kept.
    ResultReport report(context);
    ApplyPatchesInShares(*client, macs, patches, LineProgress(context.globals, macs.size()), plan,
                         [&](DeviceResult&& r) { report.Add(r); });
    if (!skipped.empty()) {
        std::unordered_set<uint64_t> reported;
        for (const MacAddress& mac : macs) reported.insert(MacKey(mac));
        for (auto& r : skipped)
            if (reported.insert(MacKey(r.mac)).second) report.Add(r);
    }
    if (report.Count() == 0) {
        // Nothing answered the search, so nothing was applied.
        std::cerr << "vornikctl: no device found\n";
        if (context.globals.json) Emit(ErrorDoc(context.Command(), "--all", "no device answered the search"));
        return EXIT_DEVICE_FAILED;
    }
    return report.Finish(shortfall);
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
    apply->add_option("--identities", options->identities,
                      "CSV of the devices, a header naming the fields (mac,ip,terminal-address,...) and a line each");
    apply->add_option("--ip-from", options->ipFrom, "give the devices addresses from this one up, in MAC order");
    apply->add_option("--wait", options->wait, "with --all: seconds to gather search replies (default 1)");
    apply->add_option("--expect", options->expect, "with --all: exit 1 when fewer devices than this answer")
        ->check(CountArgument());
    apply->add_flag("--dry-run", options->dryRun, "read only and show what would change; write nothing");
    apply->add_flag("--force", options->force,
                    "write an address another device answers with, a broken mask or a gateway outside the subnet");
    apply->callback([options, &context] {
        context.comparesValues = true;
        context.dryRun = options->dryRun;
        context.exitCode = RunApply(*options, context);
    });
}

} // namespace vornik::cli

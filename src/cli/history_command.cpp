// vornikctl history [MAC]: what changed when, field by field, from the
// settings history.
// vornikctl history export MAC (FILE | -) [--at TIME] [--force]: a device's
// recorded state as a settings file.
#include <cstdio>
#include <ctime>
#include <iostream>
#include <limits>


#include "cli/context.h"
#include "cli/console.h"
#include "cli/reporter.h"

#ifdef VORNIK_HISTORY
#include "history/history.h"
#endif

namespace vornik::cli {

namespace {

struct HistoryOptions {
    std::string mac;
};

struct HistoryExportOptions {
    std::string mac;
    std::string file;
    std::string at;
    bool force = false;
};

#ifdef VORNIK_HISTORY
int Failed(const Context& context, const std::string& message)
{
    std::cerr << "vornikctl: " << message << "\n";
    if (context.globals.json) Emit(ErrorDoc(context.Command(), "--history", message));
    return EXIT_DEVICE_FAILED;
}

int RunHistory(const HistoryOptions& options, const Context& context)
{
    const Globals& g = context.globals;
    if (g.noHistory) throw UsageError{{"--no-history", "history: --no-history leaves no history to show"}};
    history::Query query;
    if (!options.mac.empty()) query.mac = MacArgument("MAC", options.mac);
    const std::string path = g.history.empty() ? history::DefaultPath() : g.history;
    auto opened = history::Store::Open(path, {.create = false});
    if (auto* error = std::get_if<history::Error>(&opened)) return Failed(context, error->message);
    auto read = std::get<history::Store>(opened).Events(query);
    if (auto* error = std::get_if<history::Error>(&read)) return Failed(context, error->message);
    const auto& events = std::get<std::vector<history::Event>>(read);
    const auto changes = history::ChangesAlong(events);

    if (g.json) {
        Json list = Json::array();
        for (size_t i = 0; i < events.size(); ++i) {
            const history::Event& e = events[i];
            Json changed = Json::array();
            for (const auto& c : changes[i])
                changed.push_back(Json{{"block", c.block == settings::Block::Network ? "network" : "device"},
                                       {"field", c.difference.field},
                                       {"old", c.difference.expectedValue},
                                       {"new", c.difference.actualValue}});
            list.push_back(Json{{"id", e.id},
                                {"time", history::TimeText(e.timeMs)},
                                {"mac", FormatMacText(e.mac)},
                                {"ip", e.ip ? Json(FormatDottedQuad(e.ip)) : Json()},
                                {"program", e.program},
                                {"operation", e.operation},
                                {"stage", history::StageName(e.stage)},
                                {"network", bool(e.network)},
                                {"device", bool(e.device)},
                                {"changes", changed}});
        }
        Emit(Json{{"command", context.Command()}, {"ok", true}, {"file", path}, {"events", list}});
        return EXIT_CONFIRMED;
    }
    Print("%-24s  %-17s  %-15s  %-12s  %-16s  %-6s  %s\n", "TIME (UTC)", "MAC", "IP", "PROGRAM", "OPERATION",
                "STAGE", "CHANGES");
    for (size_t i = 0; i < events.size(); ++i) {
        const history::Event& e = events[i];
        std::string what;
        for (const auto& c : changes[i])
            what += (what.empty() ? "" : ", ") + c.difference.field + " " + c.difference.expected + " -> " +
                    c.difference.actual;
        if (what.empty()) what = e.stage == history::Stage::Before ? "(as read before the write)" : "-";
        Print("%-24s  %-17s  %-15s  %-12s  %-16s  %-6s  %s\n", history::TimeText(e.timeMs).c_str(),
                    FormatMacText(e.mac).c_str(), e.ip ? FormatDottedQuad(e.ip).c_str() : "-", e.program.c_str(),
                    e.operation.c_str(), history::StageName(e.stage), what.c_str());
    }
    return EXIT_CONFIRMED;
}

int RunHistoryExport(const HistoryExportOptions& options, const Context& context)
{
    const Globals& g = context.globals;
    if (g.noHistory) throw UsageError{{"--no-history", "history export: --no-history leaves no history to export"}};
    const MacAddress mac = MacArgument("MAC", options.mac);
    int64_t at = std::numeric_limits<int64_t>::max();
    if (!options.at.empty()) {
        const auto parsed = history::ParseTimeText(options.at);
        if (!parsed) throw UsageError{{"--at", "--at: '" + options.at + "' must be a UTC time as 2026-12-08T07:01:02Z"}};
        at = *parsed;
    }
    RefuseExistingFile(options.file, options.force);
    const std::string path = g.history.empty() ? history::DefaultPath() : g.history;
    auto opened = history::Store::Open(path, {.create = false});
    if (auto* error = std::get_if<history::Error>(&opened)) return Failed(context, error->message);
    auto state = std::get<history::Store>(opened).StateAt(mac, at);
    if (auto* error = std::get_if<history::Error>(&state)) return Failed(context, error->message);
    const auto& event = std::get<std::optional<history::Event>>(state);
    if (!event) return Failed(context, "the history holds no block of " + FormatMacText(mac));

    std::optional<NetworkParams> network;
    std::optional<DeviceParams> device;
    if (event->network) network = DecodeNetworkParams(*event->network);
    if (event->device) device = DecodeDeviceBlock(*event->device);
    const Json source{{"mac", FormatMacText(mac)}, {"recorded", history::TimeText(event->timeMs)}};
    const std::string text = settings::FileText(network ? &*network : nullptr, device ? &*device : nullptr, source);
    if (!WriteSettingsText(options.file, text)) return Failed(context, "cannot write '" + options.file + "'");
    if (options.file == "-") return EXIT_CONFIRMED;
    if (g.json)
        Emit(Json{{"command", context.Command()}, {"ok", true}, {"file", options.file}, {"recorded", source["recorded"]}});
    else
        Print("%s: the blocks recorded at %s written to %s\n", FormatMacText(mac).c_str(),
                    history::TimeText(event->timeMs).c_str(), options.file.c_str());
    return EXIT_CONFIRMED;
}
#else
int RunHistory(const HistoryOptions&, const Context&)
{
    throw UsageError{{"history", "history: this build of vornikctl keeps no settings history"}};
}
int RunHistoryExport(const HistoryExportOptions&, const Context&)
{
    throw UsageError{{"history", "history export: this build of vornikctl keeps no settings history"}};
}
#endif

} // namespace

void AddHistoryCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<HistoryOptions>();
    auto* command = app.add_subcommand("history", "what changed when: every read and write recorded, field by field");
    command->add_option("MAC", options->mac, "only this device");

    auto exportOptions = std::make_shared<HistoryExportOptions>();
    auto* exportCommand = command->add_subcommand("export", "a device's recorded blocks as a settings file");
    exportCommand->add_option("MAC", exportOptions->mac, "device MAC address")->required();
    exportCommand->add_option("FILE", exportOptions->file, "the file to write, or - for stdout")->required();
    exportCommand->add_option("--at", exportOptions->at, "the blocks as the device showed them at this UTC time (default: last)");
    exportCommand->add_flag("--force", exportOptions->force, "overwrite FILE when it exists");
    exportCommand->callback([exportOptions, &context] { context.exitCode = RunHistoryExport(*exportOptions, context); });

    // The listing, unless the export ran.
    command->callback([options, exportCommand, &context] {
        if (!exportCommand->parsed()) context.exitCode = RunHistory(*options, context);
    });
}

} // namespace vornik::cli

// vornikctl history [MAC]: what changed when, field by field, from the
// settings history.
// vornikctl history export MAC (FILE | -) [--at TIME] [--force]: a device's
// recorded state as a settings file.
// vornikctl history prune [--older-than AGE] [--keep N] [--dry-run]: the
// history kept in bounds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <limits>

#include "cli/console.h"
#include "cli/context.h"
#include "cli/reporter.h"

#ifdef VORNIK_HISTORY
#include "history/history.h"
#endif

namespace vornik::cli {

namespace {

struct HistoryOptions {
    std::string mac;
};

struct HistoryPruneOptions {
    std::string olderThan;
    std::optional<int64_t> keep;
    bool dryRun = false;
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

const char* const kListingHeads[] = {"TIME (UTC)", "MAC", "IP", "PROGRAM", "OPERATION", "STAGE", "CHANGES"};

void PrintListingLine(const char* time, const char* mac, const char* ip, const char* program, const char* operation,
                      const char* stage, const char* changes)
{
    Print("%-24s  %-17s  %-15s  %-12s  %-16s  %-6s  %s\n", time, mac, ip, program, operation, stage, changes);
}

std::string Dumped(const Json& value) { return value.dump(2, ' ', false, Json::error_handler_t::replace); }

// A value dumped as it stands at `depth` levels of a document Emit prints:
// a JSON text holds no raw line break but between its parts.
std::string Nested(const Json& value, size_t depth)
{
    const std::string margin(2 * depth, ' ');
    std::string text;
    for (char c : Dumped(value)) {
        text += c;
        if (c == '\n') text += margin;
    }
    return text;
}

// A text as the JSON library writes it: at once when nothing in it needs
// escaping or checking (the usual MAC, time and operation), else through it.
void AddString(std::string& out, const std::string& text)
{
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
    });
    if (plain) {
        out += '"';
        out += text;
        out += '"';
    } else {
        out += Dumped(text);
    }
}

// One event of the listing as the JSON library writes it two levels in
// (id, time, mac, ip, program, operation, stage, network, device, changes),
// without building the document first, which was most of a listing's cost.
std::string EventText(const history::Event& e, const std::vector<history::Change>& changes)
{
    std::string out = "{\n      \"id\": " + std::to_string(e.id) + ",\n      \"time\": ";
    AddString(out, history::TimeText(e.timeMs));
    out += ",\n      \"mac\": ";
    AddString(out, FormatMacText(e.mac));
    out += ",\n      \"ip\": ";
    if (e.ip)
        AddString(out, FormatDottedQuad(e.ip));
    else
        out += "null";
    out += ",\n      \"program\": ";
    AddString(out, e.program);
    out += ",\n      \"operation\": ";
    AddString(out, e.operation);
    out += ",\n      \"stage\": ";
    AddString(out, history::StageName(e.stage));
    out += std::string(",\n      \"network\": ") + (e.network ? "true" : "false");
    out += std::string(",\n      \"device\": ") + (e.device ? "true" : "false");
    out += ",\n      \"changes\": ";
    if (changes.empty()) {
        out += "[]\n    }";
        return out;
    }
    out += '[';
    for (size_t i = 0; i < changes.size(); ++i) {
        const history::Change& c = changes[i];
        out += i ? ",\n        {\n          \"block\": " : "\n        {\n          \"block\": ";
        out += c.block == settings::Block::Network ? "\"network\"" : "\"device\"";
        out += ",\n          \"field\": ";
        AddString(out, c.difference.field);
        out += ",\n          \"old\": " + Nested(c.difference.expectedValue, 5);
        out += ",\n          \"new\": " + Nested(c.difference.actualValue, 5);
        out += "\n        }";
    }
    out += "\n      ]\n    }";
    return out;
}

// The listing written as each event is read, so that it holds one event
// however long the history: the table line by line, the JSON document
// byte for byte as Emit prints it whole, its events last.
class Listing {
public:
    Listing(const Context& context, std::string path) : m_context(context), m_path(std::move(path)) {}

    void Add(const history::Event& e, const std::vector<history::Change>& changes)
    {
        Begin();
        if (m_context.globals.json) {
            std::cout << (m_events++ ? ",\n    " : "\n    ") << EventText(e, changes);
            return;
        }
        std::string what;
        for (const auto& c : changes)
            what += (what.empty() ? "" : ", ") + c.difference.field + " " + c.difference.expected + " -> " +
                    c.difference.actual;
        if (what.empty()) what = e.stage == history::Stage::Before ? "(as read before the write)" : "-";
        PrintListingLine(history::TimeText(e.timeMs).c_str(), FormatMacText(e.mac).c_str(),
                         e.ip ? FormatDottedQuad(e.ip).c_str() : "-", e.program.c_str(), e.operation.c_str(),
                         history::StageName(e.stage), what.c_str());
    }

    int Finish()
    {
        Begin();
        if (m_context.globals.json) std::cout << (m_events ? "\n  ]" : "]") << "\n}\n";
        return EXIT_CONFIRMED;
    }

    // A failure before anything was written is said as by every command.
    // One part way, after "ok" went out, ends the document with the error
    // as a last member, still JSON; the exit status says it failed.
    int Fail(const std::string& message)
    {
        if (!m_begun) return Failed(m_context, message);
        std::cerr << "vornikctl: " << message << "\n";
        if (m_context.globals.json)
            std::cout << (m_events ? "\n  ]" : "]") << ",\n  \"error\": "
                      << Nested(Json{{"field", "--history"}, {"message", message}}, 1) << "\n}\n";
        return EXIT_DEVICE_FAILED;
    }

private:
    void Begin()
    {
        if (m_begun) return;
        m_begun = true;
        if (m_context.globals.json)
            std::cout << "{\n  \"command\": " << Dumped(m_context.Command()) << ",\n  \"ok\": true,\n  \"file\": "
                      << Dumped(m_path) << ",\n  \"events\": [";
        else
            PrintListingLine(kListingHeads[0], kListingHeads[1], kListingHeads[2], kListingHeads[3],
                             kListingHeads[4], kListingHeads[5], kListingHeads[6]);
    }

    const Context& m_context;
    std::string m_path;
    bool m_begun = false;
    size_t m_events = 0;
};

int RunHistory(const HistoryOptions& options, const Context& context)
{
    const Globals& g = context.globals;
    if (g.noHistory) throw UsageError{{"--no-history", "history: --no-history leaves no history to show"}};
    history::Query query;
    if (!options.mac.empty()) query.mac = MacArgument("MAC", options.mac);
    const std::string path = g.history.empty() ? history::DefaultPath() : g.history;
    auto opened = history::Store::Open(path, {.create = false});
    if (auto* error = std::get_if<history::Error>(&opened)) return Failed(context, error->message);
    const history::Store& store = std::get<history::Store>(opened);

    Listing listing(context, path);
    history::ChangeTracker changes;
    const auto error = store.EachEvent(query, [&](const history::Event& e) {
        listing.Add(e, changes.Next(e));
        return true;
    });
    return error ? listing.Fail(error->message) : listing.Finish();
}

// "90d", "12h", "30m", "45s", "2w" in milliseconds; nothing for any other text.
std::optional<int64_t> AgeMs(const std::string& text)
{
    if (text.size() < 2 || text.size() > 12) return std::nullopt;
    int64_t unitMs = 0;
    switch (text.back()) {
    case 's': unitMs = 1000; break;
    case 'm': unitMs = 60 * 1000; break;
    case 'h': unitMs = 3600 * 1000; break;
    case 'd': unitMs = 86400 * 1000; break;
    case 'w': unitMs = 7 * 86400 * int64_t(1000); break;
    default: return std::nullopt;
    }
    int64_t count = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        count = count * 10 + (text[i] - '0');
    }
    return count * unitMs;
}

int RunHistoryPrune(const HistoryPruneOptions& options, const Context& context)
{
    const Globals& g = context.globals;
    if (g.noHistory) throw UsageError{{"--no-history", "history prune: --no-history leaves no history to prune"}};
    if (options.olderThan.empty() && !options.keep)
        throw UsageError{{"--older-than", "history prune: give --older-than AGE, --keep N or both"}};
    history::PruneRule rule;
    if (options.keep) {
        if (*options.keep < 0) throw UsageError{{"--keep", "--keep: N must be 0 or more"}};
        rule.keepLast = size_t(*options.keep);
    }
    if (!options.olderThan.empty()) {
        const auto age = AgeMs(options.olderThan);
        if (!age)
            throw UsageError{{"--older-than", "--older-than: '" + options.olderThan +
                                                  "' must be a number and a unit: s, m, h, d or w (90d, 12h)"}};
        const int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
        rule.keepFromMs = nowMs - *age;
    }
    const std::string path = g.history.empty() ? history::DefaultPath() : g.history;
    auto opened = history::Store::Open(path, {.create = false});
    if (auto* error = std::get_if<history::Error>(&opened)) return Failed(context, error->message);
    auto pruned = std::get<history::Store>(opened).Prune(rule, options.dryRun);
    if (auto* error = std::get_if<history::Error>(&pruned)) return Failed(context, error->message);
    const history::PruneSummary& summary = std::get<history::PruneSummary>(pruned);

    if (g.json) {
        Json devices = Json::array();
        for (const history::PrunedDevice& d : summary.devices)
            devices.push_back(Json{{"mac", FormatMacText(d.mac)},
                                   {"removed", d.removed},
                                   {"from", history::TimeText(d.fromMs)},
                                   {"to", history::TimeText(d.toMs)}});
        Emit(Json{{"command", context.Command()},
                  {"ok", true},
                  {"file", path},
                  {"dry-run", options.dryRun},
                  {"removed", summary.removed},
                  {"kept", summary.kept},
                  {"devices", devices}});
        return EXIT_CONFIRMED;
    }
    if (!summary.devices.empty()) {
        Print("%-17s  %7s  %-24s  %s\n", "MAC", "EVENTS", "FROM (UTC)", "TO (UTC)");
        for (const history::PrunedDevice& d : summary.devices)
            Print("%-17s  %7zu  %-24s  %s\n", FormatMacText(d.mac).c_str(), d.removed,
                        history::TimeText(d.fromMs).c_str(), history::TimeText(d.toMs).c_str());
    }
    Print("%s %zu of %zu events, %zu kept; each device's last state stays\n",
                options.dryRun ? "would remove" : "removed", summary.removed, summary.removed + summary.kept,
                summary.kept);
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
int RunHistoryPrune(const HistoryPruneOptions&, const Context&)
{
    throw UsageError{{"history", "history prune: this build of vornikctl keeps no settings history"}};
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

    auto pruneOptions = std::make_shared<HistoryPruneOptions>();
    auto* pruneCommand = command->add_subcommand(
        "prune", "remove old events; each device's last state stays, whatever the rules say");
    pruneCommand->add_option("--older-than", pruneOptions->olderThan,
                             "remove events older than AGE (90d, 12h, 30m, 2w) unless --keep keeps them");
    pruneCommand->add_option("--keep", pruneOptions->keep,
                             "keep each device's last N events (with --older-than: and any newer than AGE)");
    pruneCommand->add_flag("--dry-run", pruneOptions->dryRun, "say what would be removed; remove nothing");
    pruneCommand->callback([pruneOptions, &context] { context.exitCode = RunHistoryPrune(*pruneOptions, context); });

    // The listing, unless another history command ran.
    command->callback([options, exportCommand, pruneCommand, &context] {
        if (!exportCommand->parsed() && !pruneCommand->parsed()) context.exitCode = RunHistory(*options, context);
    });
}

} // namespace vornik::cli

// vornikctl export MAC (FILE | -) [--force]
#include <cstdio>
#include <ctime>
#include <iostream>


#include "cli/console.h"
#include "cli/context.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

struct ExportOptions {
    std::string mac;
    std::string file;
    bool force = false;
};

int RunExport(const ExportOptions& options, const Context& context)
{
    const Globals& g = context.globals;
    Session session(context);
    const MacAddress target = MacArgument("MAC", options.mac);
    RefuseExistingFile(options.file, options.force);
    Client* client = session.Start();
    if (!client) return session.NoLink();
    const auto results = ReadBlocks(*client, {target}, true, true, {}, session.Record());
    const DeviceResult& result = results[0];
    if (result.ok) {
        const std::time_t now = std::time(nullptr);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
        const Json source{{"mac", FormatMacText(target)}, {"exported", stamp}};
        const std::string text = settings::FileText(&*result.network, &*result.device, source);
        if (!WriteSettingsText(options.file, text)) {
            std::cerr << "vornikctl: cannot write '" << options.file << "'\n";
            if (g.json) Emit(ErrorDoc(context.Command(), "FILE", "cannot write '" + options.file + "'"));
            return EXIT_DEVICE_FAILED;
        }
        if (options.file == "-") return EXIT_CONFIRMED;
    }
    if (g.json) {
        Json doc{{"command", context.Command()}, {"ok", result.ok}, {"file", options.file}};
        doc["devices"] = Json::array({ResultJson(result)});
        Emit(doc);
    } else if (result.ok) {
        Print("%s: both parameter blocks written to %s\n", FormatMacText(target).c_str(), options.file.c_str());
    } else {
        Print("%s: FAILED: %s\n", FormatMacText(target).c_str(), result.error.c_str());
    }
    return result.ok ? EXIT_CONFIRMED : EXIT_DEVICE_FAILED;
}

} // namespace

void AddExportCommand(CLI::App& app, Context& context)
{
    auto options = std::make_shared<ExportOptions>();
    auto* exportCommand = app.add_subcommand("export", "save both parameter blocks of a device as a settings file");
    exportCommand->add_option("MAC", options->mac, "device MAC address")->required();
    exportCommand->add_option("FILE", options->file, "the file to write, or - for stdout")->required();
    exportCommand->add_flag("--force", options->force, "overwrite FILE when it exists");
    exportCommand->callback([options, &context] { context.exitCode = RunExport(*options, context); });
}

} // namespace vornik::cli

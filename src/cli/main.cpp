// vornikctl: the devices from a shell. Every value is checked before anything
// is sent, every write is confirmed by reading the device back, --json gives
// one JSON document on stdout, and the exit code tells a script how it went:
// 0 all done and confirmed, 1 a device failed or did not answer, 2 bad usage
// or input (nothing sent).
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/context.h"
#include "cli/reporter.h"
#include "link/link_environment.h"
#include "proto/net_params.h"
#include "version.h"

using namespace vornik;
using namespace vornik::cli;

namespace {

// The simulator's and the demo's VORNIK_* variables are the defaults, as for the window.
void TakeEnvironmentDefaults(Globals& g)
{
    const LinkEnvironment env = ReadLinkEnvironment();
    if (env.port) g.port = *env.port;
    if (env.broadcastAddress) g.broadcast = FormatDottedQuad(*env.broadcastAddress);
    if (env.hostAddresses) {
        g.environmentAddresses = *env.hostAddresses;
        g.environmentHasAddresses = true;
    }
}

int Main(int argc, char** argv)
{
    Context context;
    Globals& g = context.globals;
    TakeEnvironmentDefaults(g);
    CLI::App app{"vornikctl: find, read, configure and clone Vornik multi-probe temperature and humidity devices.\n"
                 "Every write is confirmed by reading the device back. Exit codes: 0 all confirmed,\n"
                 "1 a device failed or did not answer, 2 bad usage or input (nothing sent).\n"
                 "VORNIK_PORT, VORNIK_BROADCAST and VORNIK_ADDRESSES, when set, are the defaults of\n"
                 "--port, --broadcast and --bind."
                 ,
                 "vornikctl"};
    context.root = &app;
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", std::string("vornikctl ") + VORNIK_VERSION + " (" + VORNIK_COMMIT + ")",
                         "print the version and the commit it was built from");
    app.add_flag("--json", g.json, "print one JSON document on stdout");
    app.add_flag("-q,--quiet", g.quiet, "no progress on stderr");
    app.add_option("--port", g.port, "UDP port of the devices (default 1901)");
    app.add_option("--broadcast", g.broadcast, "where requests are sent (default 255.255.255.255)");
    app.add_option("--bind", g.binds, "a local IPv4 address to send from; repeatable (default: every up interface)");
    app.add_option("--tries", g.tries, "sends of one request before the device counts as silent (default 3)");
    app.add_option("--interval", g.interval, "seconds between two sends of one request (default 1)");
    app.add_option("--pcap", g.pcap, "write every datagram sent and received to this pcap file, as it passes");
    auto* history = app.add_option("--history", g.history,
#ifdef _WIN32
                                   "the settings history file (default %LOCALAPPDATA%\\vornik\\history.sqlite)");
#else
                                   "the settings history file (default $XDG_DATA_HOME/vornik/history.sqlite)");
#endif
    app.add_flag("--no-history", g.noHistory, "record no reads or writes in the settings history")->excludes(history);

    AddSearchCommand(app, context);
    AddBlockCommands(app, context);
    AddMacCommand(app, context);
    AddDefaultsCommand(app, context);
    AddExportCommand(app, context);
    AddApplyCommand(app, context);
    AddFieldsCommand(app, context);
    AddHistoryCommand(app, context);
    AddRestoreCommand(app, context);
    AddReplaceCommand(app, context);

    const bool jsonAsked = std::any_of(argv + 1, argv + argc, [](const char* a) { return std::string(a) == "--json"; });
    CatchInterrupt();
    try {
        app.parse(argc, argv); // runs the chosen command
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        // A word that names no command reads to CLI11 as no command at all.
        if (app.get_subcommands().empty() && !app.remaining().empty()) {
            std::string commands;
            for (const CLI::App* c : app.get_subcommands([](const CLI::App*) { return true; }))
                commands += (commands.empty() ? "" : ", ") + c->get_name();
            const std::string message = "unknown command '" + app.remaining().front() + "'; the commands are " + commands;
            std::cerr << "vornikctl: " << message << "\n";
            if (jsonAsked) Emit(ErrorDoc("", "COMMAND", message));
            return EXIT_BAD_INPUT;
        }
        if (jsonAsked) {
            Emit(ErrorDoc(context.Command(), "", e.what()));
            std::cerr << "vornikctl: " << e.what() << "\n";
            return EXIT_BAD_INPUT;
        }
        app.exit(e);
        return EXIT_BAD_INPUT;
    } catch (const UsageError& u) {
        std::cerr << "vornikctl: " << u.error.message << "\n";
        if (g.json) Emit(ErrorDoc(context.Command(), u.error.field, u.error.message));
        return u.exitCode;
    }
    // A command that ends without reporting (a search, a read) still says Ctrl-C ended it.
    if (Interrupted()) return EXIT_INTERRUPTED;
    return context.exitCode;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** wargv)
{
    UseUnicodeConsole();
    std::vector<std::string> args = Utf8Arguments(argc, wargv);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return Main(argc, argv.data());
}
#else
int main(int argc, char** argv) { return Main(argc, argv); }
#endif

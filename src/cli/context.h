// What every vornikctl command shares: the global options, the exit codes,
// bad input as an exception that ends the program before anything is sent,
// and the session that checks the link options and starts the link.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/client.h"
#include "cli/history_log.h"
#include "link/packet_capture.h"
#include "settings/settings.h"

namespace vornik::cli {

constexpr int EXIT_CONFIRMED = 0;
constexpr int EXIT_DEVICE_FAILED = 1;
constexpr int EXIT_BAD_INPUT = 2;
constexpr int EXIT_INTERRUPTED = 130; // 128 + SIGINT, as a shell reports Ctrl-C

struct Globals {
    bool json = false;
    bool quiet = false;
    int port = LINK_PORT;
    std::string broadcast = "255.255.255.255";
    std::vector<std::string> binds;
    std::vector<uint32_t> environmentAddresses; // VORNIK_ADDRESSES, when no --bind is given
    bool environmentHasAddresses = false;
    int tries = 3;
    double interval = 1.0;
    std::string pcap;
    std::string history; // the history file; empty: the default one
    bool noHistory = false;
};

// Bad usage or input: reported, and the program ends before the link starts.
struct UsageError {
    settings::InputError error;
    int exitCode = EXIT_BAD_INPUT; // EXIT_DEVICE_FAILED for a file that cannot be written
};

// What the commands are given: the global options, the parsed command line
// (for the command's name) and where the command leaves its exit code.
struct Context {
    Globals globals;
    const CLI::App* root = nullptr;
    int exitCode = EXIT_BAD_INPUT;
    // Set by the commands that compare what they write with what they read
    // (net set, dev set, apply, defaults): each result lists its changes.
    bool comparesValues = false;
    bool dryRun = false;
    // The packet record while a session runs: a record that could not be
    // written whole fails the command.
    mutable const PacketCapture* capture = nullptr;

    // Why the --pcap file is not whole, or "".
    std::string RecordError() const;

    // "net set", "apply", ... as the user typed it.
    std::string Command() const;
};

// The link options checked (throws UsageError), the packet record opened,
// and the link started on demand.
class Session {
public:
    explicit Session(const Context& context);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The client, or nothing when no local address could be opened to send
    // from (said on stderr; NoLink() gives the exit code).
    Client* Start();
    int NoLink() const;
    // The jobs' hook into the history (--history, --no-history).
    HistoryHook Record() { return m_history.Hook(); }
    // A write's plan with the history's hooks in place: what it records and
    // what it last recorded for a device.
    ApplyPlan WritePlan()
    {
        ApplyPlan plan;
        plan.record = m_history.Hook();
        plan.recorded = m_history.Recorded();
        return plan;
    }

private:
    const Context& m_context;
    ClientOptions m_options;
    PacketCapture m_capture{1}; // streamed to its file as it passes, so it needs no ring
    std::unique_ptr<Client> m_client;
    HistoryLog m_history;
};

MacAddress MacArgument(const std::string& what, const std::string& text);

// A settings file a command writes goes to FILE, or for "-" to stdout, of
// which it is then the whole, so that it can be piped. An existing FILE is
// refused unless `force`, before anything is read.
void RefuseExistingFile(const std::string& file, bool force);
// False when it could not be written. `mode`: the new file's permissions
// (less what the umask takes away).
bool WriteSettingsText(const std::string& file, const std::string& text, int mode = 0644);
// Each MAC once, in the order given.
std::vector<MacAddress> MacArguments(const std::vector<std::string>& texts);
// A count as --expect takes it: CLI11 would read -1 as the largest count.
inline CLI::Validator CountArgument()
{
    return CLI::Validator(
        [](std::string& text) {
            return text.find_first_not_of("0123456789") == std::string::npos && !text.empty()
                       ? std::string()
                       : "'" + text + "' must be a whole number, 0 or more";
        },
        "COUNT");
}
// Seconds as --wait takes them (throws UsageError).
std::chrono::milliseconds WaitArgument(double seconds);
std::string ReadSettingsFile(const std::string& path);
// FIELD=VALUE arguments of one block, each field at most once (throws UsageError).
settings::Patch AssignmentsPatch(settings::Block block, const std::vector<std::string>& assignments);

// Every command, each in a file of its own: options, set-up, run.
void AddSearchCommand(CLI::App& app, Context& context);
void AddBlockCommands(CLI::App& app, Context& context); // net get/set, dev get/set
void AddMacCommand(CLI::App& app, Context& context);
void AddDefaultsCommand(CLI::App& app, Context& context);
void AddExportCommand(CLI::App& app, Context& context);
void AddApplyCommand(CLI::App& app, Context& context);
void AddFieldsCommand(CLI::App& app, Context& context);
void AddHistoryCommand(CLI::App& app, Context& context);
void AddRestoreCommand(CLI::App& app, Context& context);
void AddReplaceCommand(CLI::App& app, Context& context);

} // namespace vornik::cli

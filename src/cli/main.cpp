// vornikctl: the devices from a shell. Every value is checked before anything
// is sent, every write is confirmed by reading the device back, --json gives
// one JSON document on stdout, and the exit code tells a script how it went:
// 0 all done and confirmed, 1 a device failed or did not answer, 2 bad usage
// or input (nothing sent).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "cli/client.h"
#include "cli/jobs.h"
#include "link/packet_capture.h"
#include "proto/text_conv.h"
#include "settings/settings.h"
#include "version.h"

using namespace vornik;
using namespace vornik::cli;
using settings::Block;
using settings::InputError;
using settings::Json;

namespace {

constexpr int EXIT_CONFIRMED = 0;
constexpr int EXIT_DEVICE_FAILED = 1;
constexpr int EXIT_BAD_INPUT = 2;

struct Globals {
    bool json = false;
    bool quiet = false;
    int port = LINK_PORT;
    std::string broadcast = "255.255.255.255";
    std::vector<std::string> binds;
    int tries = 3;
    double interval = 1.0;
    std::string pcap;
};

// Bad usage or input: reported, and the program ends before the link starts.
struct UsageError {
    InputError error;
};

std::string CommandName(const CLI::App& app)
{
    std::string name;
    for (const CLI::App* sub = &app; sub;) {
        const auto subs = sub->get_subcommands();
        if (subs.empty()) break;
        sub = subs.front();
        name += (name.empty() ? "" : " ") + sub->get_name();
    }
    return name;
}

// Arguments are the user's bytes and may not be UTF-8; they are echoed in errors.
void Emit(const Json& doc) { std::cout << doc.dump(2, ' ', false, Json::error_handler_t::replace) << "\n"; }

// A failure of the whole command rather than of one device.
Json ErrorDoc(const std::string& command, const std::string& field, const std::string& message)
{
    return Json{{"command", command}, {"ok", false}, {"error", Json{{"field", field}, {"message", message}}}};
}

MacAddress MacArgument(const std::string& what, const std::string& text)
{
    MacAddress mac{};
    if (auto error = settings::ParseMac(what, text, mac)) throw UsageError{*error};
    return mac;
}

std::vector<MacAddress> MacArguments(const std::vector<std::string>& texts)
{
    std::vector<MacAddress> macs;
    for (const std::string& t : texts) {
        const MacAddress mac = MacArgument("MAC", t);
        if (std::find(macs.begin(), macs.end(), mac) == macs.end()) macs.push_back(mac);
    }
    return macs;
}

ClientOptions LinkOptions(const Globals& g)
{
    ClientOptions o;
    if (g.port < 1 || g.port > 65535) throw UsageError{{"--port", "--port: " + std::to_string(g.port) + " must be 1-65535"}};
    o.link.port = uint16_t(g.port);
    if (auto error = settings::ParseIpv4("--broadcast", g.broadcast, o.link.broadcastAddress)) throw UsageError{*error};
    if (!g.binds.empty()) {
        std::vector<uint32_t> addresses;
        for (const std::string& b : g.binds) {
            uint32_t a = 0;
            if (auto error = settings::ParseIpv4("--bind", b, a)) throw UsageError{*error};
            addresses.push_back(a);
        }
        o.link.hostAddresses = [addresses] { return addresses; };
    }
    if (g.tries < 1 || g.tries > 100)
        throw UsageError{{"--tries", "--tries: " + std::to_string(g.tries) + " must be 1-100"}};
    if (!(g.interval >= 0.01 && g.interval <= 60))
        throw UsageError{{"--interval", "--interval: must be 0.01-60 seconds"}};
    o.tries = g.tries;
    o.interval = std::chrono::milliseconds(long(g.interval * 1000 + 0.5));
    if (!g.quiet) o.note = [](const std::string& text) { std::cerr << "vornikctl: " << text << "\n"; };
    return o;
}

Json FoundJson(const FoundDevice& f)
{
    Json heard = Json::array();
    for (uint32_t a : f.heardOn) heard.push_back(AddressText(a));
    return Json{{"ip", AddressText(f.reply.ipAddress)},
                {"mac", FormatMacText(f.reply.mac)},
                {"firmware", f.reply.firmware},
                {"source", AddressText(f.source) + ":" + std::to_string(f.sourcePort)},
                {"heard-on", heard},
                {"replies", f.replies},
                {"duplicate-ip", f.duplicateIp},
                {"duplicate-mac", f.duplicateMac}};
}

Json ResultJson(const DeviceResult& r)
{
    Json j{{"mac", FormatMacText(r.mac)}, {"ok", r.ok}};
    if (!r.ok) j["error"] = r.error;
    if (r.writes) {
        j["writes"] = r.writes;
        j["acknowledged"] = r.acknowledged;
    }
    if (!r.differences.empty()) {
        Json diffs = Json::array();
        for (const auto& d : r.differences)
            diffs.push_back(Json{{"field", d.field}, {"written", d.expected}, {"read", d.actual}});
        j["differences"] = diffs;
    }
    if (r.found) j["found"] = FoundJson(*r.found);
    if (r.network) j["network"] = settings::ToJson(*r.network);
    if (r.device) j["device"] = settings::ToJson(*r.device);
    return j;
}

// The per-device result table and the exit code.
int Report(const std::string& command, const Globals& g, const std::vector<DeviceResult>& results,
           const std::function<void(const DeviceResult&)>& details = {})
{
    size_t confirmed = 0;
    for (const auto& r : results) confirmed += r.ok;
    const bool ok = confirmed == results.size();
    if (g.json) {
        Json devices = Json::array();
        for (const auto& r : results) devices.push_back(ResultJson(r));
        Emit(Json{{"command", command},
                  {"ok", ok},
                  {"confirmed", confirmed},
                  {"failed", results.size() - confirmed},
                  {"devices", devices}});
    } else {
        for (const auto& r : results) {
            if (details && r.ok) details(r);
        }
        std::printf("%-17s  %-9s  %s\n", "MAC", "RESULT", "DETAIL");
        for (const auto& r : results) {
            std::string detail = r.ok ? (r.writes ? "confirmed by read-back" : "") : r.error;
            if (r.found) detail = "found at " + AddressText(r.found->reply.ipAddress);
            std::printf("%-17s  %-9s  %s\n", FormatMacText(r.mac).c_str(), r.ok ? "ok" : "FAILED", detail.c_str());
            for (const auto& d : r.differences)
                std::printf("%-17s  %-9s  %s: wrote %s, read %s\n", "", "", d.field.c_str(), d.expected.c_str(),
                            d.actual.c_str());
        }
        std::printf("%zu of %zu device(s) %s\n", confirmed, results.size(), "ok");
    }
    return ok ? EXIT_CONFIRMED : EXIT_DEVICE_FAILED;
}

template <typename Params>
void PrintFields(const Params& p, Block block)
{
    for (const auto& f : settings::Fields())
        if (f.block == block) std::printf("  %-26s %s\n", f.name.c_str(), settings::FieldText(p, f.name).c_str());
}

Progress LineProgress(const Globals& g, size_t total)
{
    if (g.quiet) return {};
    auto count = std::make_shared<size_t>(0);
    const bool bar = isatty(STDERR_FILENO);
    return [count, total, bar](const DeviceResult& r) {
        ++*count;
        if (bar) {
            const size_t width = 30, filled = total ? *count * width / total : width;
            std::fprintf(stderr, "\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
                         std::string(width - filled, '.').c_str(), *count, total);
            if (*count == total) std::fprintf(stderr, "\n");
        } else {
            std::fprintf(stderr, "vornikctl: %s %s (%zu/%zu)\n", FormatMacText(r.mac).c_str(),
                         r.ok ? "ok" : ("failed: " + r.error).c_str(), *count, total);
        }
    };
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw UsageError{{"FILE", "cannot read the settings file '" + path + "'"}};
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::unique_ptr<Client> StartClient(const ClientOptions& options)
{
    auto client = std::make_unique<Client>(options, [](const std::string& m) { std::cerr << "vornikctl: link: " << m << "\n"; });
    if (!client->Start()) {
        std::cerr << "vornikctl: no local address could be opened to send from (see --bind)\n";
        return nullptr;
    }
    return client;
}

int NoLink(const std::string& command, const Globals& g)
{
    if (g.json) Emit(ErrorDoc(command, "--bind", "no local address could be opened to send from"));
    return EXIT_DEVICE_FAILED;
}

} // namespace

int main(int argc, char** argv)
{
    Globals g;
    CLI::App app{"vornikctl: find, read, configure and clone Vornik multi-probe temperature and humidity devices.\n"
                 "Every write is confirmed by reading the device back. Exit codes: 0 all confirmed,\n"
                 "1 a device failed or did not answer, 2 bad usage or input (nothing sent).",
                 "vornikctl"};
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

    double wait = 1.0;
    auto* search = app.add_subcommand("search", "list every device that answers a search");
    search->add_option("--wait", wait, "seconds to gather replies (default 1)");

    std::vector<std::string> macTexts, assignments;
    auto* net = app.add_subcommand("net", "network parameters")->require_subcommand(1);
    auto* netGet = net->add_subcommand("get", "read the network parameters");
    netGet->add_option("MAC", macTexts, "device MAC address(es)")->required();
    auto* netSet = net->add_subcommand("set", "change network fields, confirmed by read-back");
    std::string macText;
    netSet->add_option("MAC", macText, "device MAC address")->required();
    netSet->add_option("FIELD=VALUE", assignments, "e.g. ip=192.168.0.20 server3.target-port=4001")->required();

    auto* dev = app.add_subcommand("dev", "device parameters")->require_subcommand(1);
    auto* devGet = dev->add_subcommand("get", "read the device parameters");
    devGet->add_option("MAC", macTexts, "device MAC address(es)")->required();
    auto* devSet = dev->add_subcommand("set", "change device fields, confirmed by read-back");
    devSet->add_option("MAC", macText, "device MAC address")->required();
    devSet->add_option("FIELD=VALUE", assignments, "e.g. baud=9600 channel4.temp-upper=25.3")->required();

    std::string newMacText;
    auto* mac = app.add_subcommand("mac", "the MAC address")->require_subcommand(1);
    auto* macSet = mac->add_subcommand("set", "write a new MAC address, confirmed by a search that finds it");
    macSet->add_option("MAC", macText, "the device's MAC address now")->required();
    macSet->add_option("NEW-MAC", newMacText, "its new MAC address")->required();

    auto* defaults = app.add_subcommand("defaults", "reset device(s) to the factory settings");
    defaults->add_option("MAC", macTexts, "device MAC address(es)")->required();

    std::string file;
    auto* exportCmd = app.add_subcommand("export", "save both parameter blocks of a device as a settings file");
    exportCmd->add_option("MAC", macText, "device MAC address")->required();
    exportCmd->add_option("FILE", file, "the file to write")->required();

    bool all = false, identity = false;
    auto* apply = app.add_subcommand("apply", "apply a settings file (or a part of one) to devices, each confirmed");
    apply->add_option("FILE", file, "the settings file")->required();
    apply->add_option("MAC", macTexts, "device MAC address(es)");
    apply->add_flag("--all", all, "every device a search finds");
    apply->add_flag("--identity", identity, "also apply ip and terminal-address (one device only)");
    apply->add_option("--wait", wait, "with --all: seconds to gather search replies (default 1)");

    app.add_subcommand("fields", "list every field name with the values it accepts");

    const bool jsonAsked = std::any_of(argv + 1, argv + argc, [](const char* a) { return std::string(a) == "--json"; });
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        if (jsonAsked) {
            Emit(ErrorDoc(CommandName(app), "", e.what()));
            std::cerr << "vornikctl: " << e.what() << "\n";
            return EXIT_BAD_INPUT;
        }
        app.exit(e);
        return EXIT_BAD_INPUT;
    }
    const std::string command = CommandName(app);

    try {
        if (app.got_subcommand("fields")) {
            if (g.json) {
                Json fields = Json::array();
                for (const auto& f : settings::Fields())
                    fields.push_back(Json{{"block", f.block == Block::Network ? "network" : "device"},
                                          {"name", f.name},
                                          {"accepts", f.accepts}});
                Emit(Json{{"command", command}, {"ok", true}, {"fields", fields}});
            } else {
                for (const auto& f : settings::Fields())
                    std::printf("%-8s %-26s %s\n", f.block == Block::Network ? "net" : "dev", f.name.c_str(),
                                f.accepts.c_str());
            }
            return EXIT_CONFIRMED;
        }

        // Everything typed is checked here, before the link starts.
        ClientOptions options = LinkOptions(g);
        // Streamed to the file as it passes, so the record needs no ring of its own.
        PacketCapture capture(1);
        if (!g.pcap.empty()) {
            std::string error;
            if (!capture.StreamTo(g.pcap, &error)) throw UsageError{{"--pcap", "--pcap: " + g.pcap + ": " + error}};
            capture.Attach(options.link);
        }
        if (search->parsed() || apply->parsed()) {
            if (!(wait >= 0.01 && wait <= 600)) throw UsageError{{"--wait", "--wait: must be 0.01-600 seconds"}};
        }
        const auto waitTime = std::chrono::milliseconds(long(wait * 1000 + 0.5));

        if (search->parsed()) {
            auto client = StartClient(options);
            if (!client) return NoLink(command, g);
            const auto found = client->Search(waitTime);
            if (g.json) {
                Json devices = Json::array();
                for (const auto& f : found) devices.push_back(FoundJson(f));
                Emit(Json{{"command", command}, {"ok", true}, {"count", found.size()}, {"devices", devices}});
            } else {
                std::printf("%-15s  %-17s  %8s  %-15s  %s\n", "IP", "MAC", "FIRMWARE", "HEARD ON", "NOTE");
                for (const auto& f : found) {
                    std::string heard;
                    for (uint32_t a : f.heardOn) heard += (heard.empty() ? "" : ",") + AddressText(a);
                    std::string note;
                    if (f.duplicateIp) note += "duplicate IP ";
                    if (f.duplicateMac) note += "duplicate MAC";
                    std::printf("%-15s  %-17s  %8u  %-15s  %s\n", AddressText(f.reply.ipAddress).c_str(),
                                FormatMacText(f.reply.mac).c_str(), unsigned(f.reply.firmware),
                                heard.empty() ? "-" : heard.c_str(), note.c_str());
                }
                std::printf("%zu device(s)\n", found.size());
            }
            return EXIT_CONFIRMED;
        }

        if (netGet->parsed() || devGet->parsed()) {
            const bool isNet = netGet->parsed();
            const auto macs = MacArguments(macTexts);
            auto client = StartClient(options);
            if (!client) return NoLink(command, g);
            const auto results = ReadBlocks(*client, macs, isNet, !isNet);
            return Report(command, g, results, [&](const DeviceResult& r) {
                std::printf("%s\n", FormatMacText(r.mac).c_str());
                if (isNet) PrintFields(*r.network, Block::Network);
                else PrintFields(*r.device, Block::Device);
            });
        }

        if (netSet->parsed() || devSet->parsed()) {
            const Block block = netSet->parsed() ? Block::Network : Block::Device;
            const MacAddress target = MacArgument("MAC", macText);
            settings::Patch patch;
            for (const std::string& a : assignments)
                if (auto error = patch.SetAssignment(block, a)) throw UsageError{*error};
            auto client = StartClient(options);
            if (!client) return NoLink(command, g);
            return Report(command, g, ApplyPatch(*client, {target}, patch));
        }

        if (macSet->parsed()) {
            const MacAddress target = MacArgument("MAC", macText);
            const MacAddress newMac = MacArgument("NEW-MAC", newMacText);
            auto client = StartClient(options);
            if (!client) return NoLink(command, g);
            return Report(command, g, {WriteMac(*client, target, newMac)});
        }

        if (defaults->parsed()) {
            const auto macs = MacArguments(macTexts);
            auto client = StartClient(options);
            if (!client) return NoLink(command, g);
            return Report(command, g, FactoryDefaults(*client, macs, LineProgress(g, macs.size())));
        }

        if (exportCmd->parsed()) {
            const MacAddress target = MacArgument("MAC", macText);
            auto client = StartClient(options);
            if (!client) return NoLink(command, g);
            const auto results = ReadBlocks(*client, {target}, true, true);
            if (results[0].ok) {
                const std::time_t now = std::time(nullptr);
                char stamp[32];
                std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
                const Json source{{"mac", FormatMacText(target)}, {"exported", stamp}};
                std::ofstream out(file, std::ios::binary | std::ios::trunc);
                out << settings::FileText(&*results[0].network, &*results[0].device, source);
                out.close();
                if (!out) {
                    std::cerr << "vornikctl: cannot write '" << file << "'\n";
                    if (g.json) Emit(ErrorDoc(command, "FILE", "cannot write '" + file + "'"));
                    return EXIT_DEVICE_FAILED;
                }
            }
            if (g.json) {
                Json doc{{"command", command}, {"ok", results[0].ok}, {"file", file}};
                doc["devices"] = Json::array({ResultJson(results[0])});
                Emit(doc);
            } else if (results[0].ok) {
                std::printf("%s: both parameter blocks written to %s\n", FormatMacText(target).c_str(), file.c_str());
            } else {
                std::printf("%s: FAILED: %s\n", FormatMacText(target).c_str(), results[0].error.c_str());
            }
            return results[0].ok ? EXIT_CONFIRMED : EXIT_DEVICE_FAILED;
        }

        if (apply->parsed()) {
            auto read = settings::PatchFromFileText(ReadFile(file));
            if (auto* error = std::get_if<InputError>(&read)) throw UsageError{*error};
            settings::Patch patch = std::get<settings::Patch>(std::move(read));
            if (all == !macTexts.empty())
                throw UsageError{{"MAC", "apply: give device MAC address(es) or --all, not both and not neither"}};
            std::vector<MacAddress> macs = MacArguments(macTexts);
            if (identity && (all || macs.size() != 1))
                throw UsageError{{"--identity", "--identity applies one device's address; give exactly one MAC"}};
            if (!identity) {
                // Every device keeps its own address and terminal address.
                for (const auto& [block, name] : {std::pair{Block::Network, "ip"}, {Block::Device, "terminal-address"}}) {
                    if (patch.Contains(block, name) && !g.quiet)
                        std::cerr << "vornikctl: " << name << " is left as each device has it (--identity applies it)\n";
                    patch.Erase(block, name);
                }
            }
            if (patch.Empty()) throw UsageError{{"FILE", "the settings file changes no field"}};
            auto client = StartClient(options);
            if (!client) return NoLink(command, g);
            std::vector<DeviceResult> skipped;
            if (all) {
                const auto found = client->Search(waitTime);
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
            auto results = ApplyPatch(*client, macs, patch, LineProgress(g, macs.size()));
            for (auto& r : skipped)
                if (std::none_of(results.begin(), results.end(), [&](const DeviceResult& x) { return x.mac == r.mac; }))
                    results.push_back(r);
            if (results.empty()) {
                // Nothing answered the search, so nothing was applied.
                std::cerr << "vornikctl: no device found\n";
                if (g.json) Emit(ErrorDoc(command, "--all", "no device answered the search"));
                return EXIT_DEVICE_FAILED;
            }
            return Report(command, g, results);
        }
    } catch (const UsageError& u) {
        std::cerr << "vornikctl: " << u.error.message << "\n";
        if (g.json) Emit(ErrorDoc(command, u.error.field, u.error.message));
        return EXIT_BAD_INPUT;
    }
    return EXIT_BAD_INPUT;
}

// vornikctl with its shipped constants (port 1901, 255.255.255.255, every up
// interface), run by scripts/vlan on the tool's host of a virtual LAN: a
// search must list every device, and an apply --all must confirm each one.
//
//   cli_vlan VORNIKCTL EXPECTED_DEVICES
//
// Exits 0 on success, 1 on failure, and 77 (skipped) outside a virtual LAN,
// where these constants would reach a real network.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "cli_process.h"

using namespace vornik::test;
using Json = nlohmann::json;

namespace {

Json Parse(const RunResult& r, const char* what)
{
    try {
        return Json::parse(r.out);
    } catch (const std::exception& e) {
        std::printf("cli_vlan: %s: stdout is no JSON document (%s)\n%s\n%s\n", what, e.what(), r.out.c_str(),
                    r.err.c_str());
        return Json();
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: cli_vlan VORNIKCTL EXPECTED_DEVICES\n");
        return 1;
    }
    if (!std::getenv("VORNIK_VLAN")) {
        std::fprintf(stderr, "cli_vlan: runs only inside scripts/vlan; skipped\n");
        return 77;
    }
    const std::string ctl = argv[1];
    const size_t expected = std::strtoul(argv[2], nullptr, 10);
    bool ok = true;

    const RunResult search = RunProgram(ctl, {"--json", "search", "--wait", "2"});
    const Json found = Parse(search, "search");
    std::set<std::string> macs;
    if (found.is_object())
        for (const Json& d : found["devices"]) {
            macs.insert(d["mac"].get<std::string>());
            if (d["duplicate-ip"] == true || d["duplicate-mac"] == true) ok = false;
        }
    std::printf("cli_vlan: search found %zu of %zu device(s), exit %d\n", macs.size(), expected, search.exitCode);
    ok = ok && search.exitCode == 0 && macs.size() == expected && found.value("count", size_t(0)) == expected;

    const std::string file = "/tmp/cli_vlan-" + std::to_string(::getpid()) + ".json";
    std::ofstream(file) << R"({"format": "vornik-settings", "version": 1,
        "network": {"server2": {"target-address": "10.201.0.1", "target-port": 5002}},
        "device": {"upload-interval": 30, "channel2": {"temp-upper": 45.5}}})";
    const RunResult apply = RunProgram(ctl, {"--json", "--quiet", "apply", file, "--all", "--wait", "2"});
    std::remove(file.c_str());
    const Json applied = Parse(apply, "apply");
    size_t confirmed = 0;
    if (applied.is_object())
        for (const Json& d : applied["devices"])
            if (d["ok"] == true && d["network"]["server2"]["target-port"] == 5002 && d["device"]["upload-interval"] == 30)
                ++confirmed;
    std::printf("cli_vlan: apply --all confirmed %zu of %zu device(s), exit %d\n", confirmed, expected, apply.exitCode);
    ok = ok && apply.exitCode == 0 && confirmed == expected;
    return ok ? 0 : 1;
}

// vornikctl's link: the simulator's and the demo's VORNIK_* variables are its
// defaults, and a link failure is said in English with the address and port.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_process.h"
#include "sim_process.h"

using namespace vornik::test;
using namespace std::chrono_literals;

namespace {

struct EnvironmentCase {
    const char* name;
    std::vector<std::string> environment; // besides VORNIK_PORT
    std::vector<std::string> args;
    size_t found;
};

TEST(VornikctlLink, TakesTheEnvironmentAsItsDefaults)
{
    const uint16_t port = FreeUdpPort();
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "3"}));
    ASSERT_TRUE(sim.Ready());
    const std::string portVar = "VORNIK_PORT=" + std::to_string(port);
    const std::vector<EnvironmentCase> cases = {
        {"all three from the environment",
         {"VORNIK_BROADCAST=127.255.255.255", "VORNIK_ADDRESSES=127.0.0.2"}, {}, 3},
        // An option given on the command line wins over its variable.
        {"--port over VORNIK_PORT",
         {"VORNIK_BROADCAST=127.255.255.255", "VORNIK_ADDRESSES=127.0.0.2"}, {"--port", std::to_string(FreeUdpPort())}, 0},
        {"--bind over VORNIK_ADDRESSES",
         {"VORNIK_BROADCAST=127.255.255.255", "VORNIK_ADDRESSES=127.0.0.300"}, {"--bind", "127.0.0.3"}, 3},
    };
    for (const EnvironmentCase& c : cases) {
        std::vector<std::string> env = c.environment;
        env.push_back(portVar);
        std::vector<std::string> args{"--json", "--quiet", "--interval", "0.2"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"search", "--wait", "0.5"});
        const RunResult r = RunProgram(VORNIKCTL_PATH, args, 30s, env);
        EXPECT_EQ(r.exitCode, 0) << c.name << r.err;
        const auto doc = nlohmann::json::parse(r.out, nullptr, false);
        ASSERT_FALSE(doc.is_discarded()) << c.name << r.out;
        EXPECT_EQ(doc["count"], c.found) << c.name;
    }
}

TEST(VornikctlLink, ABindThatFailsNamesTheAddressAndPortInEnglish)
{
    const uint16_t port = FreeUdpPort();
    // 203.0.113.9 is a documentation address that no host here has: the bind
    // fails and nothing is sent anywhere.
    const RunResult r = RunProgram(VORNIKCTL_PATH, {"--port", std::to_string(port), "--broadcast", "127.255.255.255",
                                                    "--bind", "203.0.113.9", "search", "--wait", "0.1"});
    if (r.exitCode == 0) GTEST_SKIP() << "this system binds to non-local addresses";
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("203.0.113.9:" + std::to_string(port)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Cannot assign requested address"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("\xb0\xf3\xb6\xa8"), std::string::npos) << "no window text in code page 936: " << r.err;
}

} // namespace

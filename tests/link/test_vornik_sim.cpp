// The simulator as a program: its help, its fault options, and its clean stop.
#include <cstdio>
#include <thread>

#include "crc_reference.h"
#include "hex.h"
#include "link_fixture.h"
#include "proto/dev_params.h"
#include "vectors.h"

using namespace vornik;
using namespace vornik::test;

namespace {

const Bytes kSearch = Hex("AA 00 01 02 02");
const Bytes kDeviceRead = Hex("AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98");

// Runs the simulator to its end and gives its exit status and standard output.
std::pair<int, std::string> RunToEnd(const std::string& args)
{
    FILE* p = ::popen((std::string(VORNIK_SIM_PATH) + " " + args + " 2>/dev/null").c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    const int status = ::pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(VornikSim, HelpExplainsEveryOption)
{
    const auto [status, text] = RunToEnd("--help");
    EXPECT_EQ(status, 0);
    for (const char* option : {"--port", "--bind", "--reply-to", "--unicast", "--devices", "--base-ip", "--base-mac",
                               "--firmware", "--answer-ip", "--reply-0b", "--drop", "--duplicate", "--delay", "--delay-ms",
                               "--truncate", "--corrupt-crc", "--seed", "--log", "--ready-fd", "SIGTERM"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST(VornikSim, RefusesBadArguments)
{
    for (const char* args : {"--devices 0", "--drop 1.5", "--base-mac 02-00", "--port x", "--nonsense", "extra"})
        EXPECT_EQ(RunToEnd(args).first, 2) << args;
}

struct FaultCase {
    const char* name;
    std::vector<std::string> options;
    size_t replies;      // search replies expected of 4 devices
    size_t replySize;    // bytes in each
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class Faults : public LinkTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, ShapeTheSearchReplies)
{
    std::vector<std::string> args = LoopbackSimArgs(port, {"--devices", "4"});
    args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
    SimProcess sim(args);
    ASSERT_TRUE(sim.Ready());
    auto link = MakeLink();
    link->Start();
    link->OpenEndpoints();
    link->SendFrame(kSearch.data(), kSearch.size());
    std::this_thread::sleep_for(300ms);
    std::vector<Bytes> replies;
    for (const Bytes& d : inbox.Now())
        if (d[0] == 0x55) replies.push_back(d);
    EXPECT_EQ(replies.size(), GetParam().replies);
    for (const Bytes& r : replies) EXPECT_EQ(r.size(), GetParam().replySize);
}

INSTANTIATE_TEST_SUITE_P(
    Options, Faults,
    testing::Values(FaultCase{"None", {}, 4, 21}, FaultCase{"DropAll", {"--drop", "1"}, 0, 0},
                    FaultCase{"DuplicateAll", {"--duplicate", "1"}, 8, 21},
                    FaultCase{"TruncateAll", {"--truncate", "1"}, 4, 10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkTest, DelayedRepliesArriveLate)
{
    SimProcess sim(LoopbackSimArgs(port, {"--delay", "1", "--delay-ms", "150"}));
    ASSERT_TRUE(sim.Ready());
    auto link = MakeLink();
    link->Start();
    link->OpenEndpoints();
    const auto sent = std::chrono::steady_clock::now();
    link->SendFrame(kSearch.data(), kSearch.size());
    EXPECT_EQ(inbox.Replies(CMD_SEARCH, 1).size(), 1u);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 150ms);
}

TEST_F(LinkTest, CorruptCrcSpoilsTheDeviceFrameAndReply0BChangesTheCommand)
{
    SimProcess sim(LoopbackSimArgs(port, {"--corrupt-crc", "1", "--reply-0b"}));
    ASSERT_TRUE(sim.Ready());
    auto link = MakeLink();
    link->Start();
    link->OpenEndpoints();
    link->SendFrame(kDeviceRead.data(), kDeviceRead.size());
    const auto replies = inbox.Replies(CMD_DEVICE_PARAMS_REPLY, 1);
    ASSERT_EQ(replies.size(), 1u);
    ASSERT_EQ(replies[0].size(), 107u);
    // The block is the factory one and only its CRC is wrong, by a reference
    // that does not share the program's table.
    const auto inner = std::span<const uint8_t>(replies[0]).subspan(10, 96);
    EXPECT_EQ(ToHex(inner.first(94)), ToHex(Hex(std::string("7E 10 ") + kStartupBlock)));
    EXPECT_NE(uint16_t(inner[94] | inner[95] << 8), BitwiseCrc16(inner.first(94)));
    DeviceParams params;
    EXPECT_EQ(ParseDeviceFrame(inner, params), 0);
}

TEST(VornikSim, StopsCleanlyOnSigint)
{
    SimProcess sim(LoopbackSimArgs(FreeUdpPort()));
    ASSERT_TRUE(sim.Ready());
    EXPECT_EQ(sim.Stop(SIGINT), 0);
}

} // namespace

// vornikctl's settings history against simulated devices: what a write
// records before it is sent and after its read-back (a silent device, one
// that stores nothing), a history that cannot be written, which must not
// stop the command, and restore and replace checked byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "cli_process.h"
#include "history/history.h"
#include "proto/mac_address.h"
#include "sim_process.h"

using namespace vornik;
using namespace vornik::test;
using Json = nlohmann::json;

namespace {

const MacAddress kMac1{2, 0, 0, 0, 0, 1}, kMac2{2, 0, 0, 0, 0, 2};
const std::string kText1 = "02-00-00-00-00-01", kText2 = "02-00-00-00-00-02", kText3 = "02-00-00-00-00-03";

class CtlHistory : public testing::Test {
protected:
    CtlHistory() { std::filesystem::create_directories(folder); }
    ~CtlHistory() override { std::filesystem::remove_all(folder); }
    // vornikctl on the test's loopback link with --history FILE, or the
    // history options given ({"default"}: none, so the default file).
    RunResult Ctl(std::vector<std::string> args, std::vector<std::string> history = {})
    {
        if (history.empty()) history = {"--history", file};
        if (history == std::vector<std::string>{"default"}) history.clear();
        std::vector<std::string> all{"--quiet", "--port", std::to_string(port), "--broadcast", "127.255.255.255",
                                     "--bind", "127.0.0.2", "--interval", "0.2", "--tries", "2"};
        all.insert(all.end(), history.begin(), history.end());
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(VORNIKCTL_PATH, all, std::chrono::seconds(60), {"XDG_DATA_HOME=" + folder + "/xdg"});
    }
    std::vector<history::Event> Events(const std::string& path)
    {
        auto opened = history::Store::Open(path);
        if (!std::holds_alternative<history::Store>(opened)) return {};
        return std::get<std::vector<history::Event>>(std::get<history::Store>(opened).Events({}));
    }
    // The device's event of the operation and stage; the last one when `last`.
    static const history::Event* Find(const std::vector<history::Event>& events, const MacAddress& mac,
                                      const std::string& operation, history::Stage stage, bool last = false)
    {
        const history::Event* found = nullptr;
        for (const auto& e : events)
            if (e.mac == mac && e.operation == operation && e.stage == stage && (last || !found)) found = &e;
        return found;
    }

    const uint16_t port = FreeUdpPort();
    const std::string folder = testing::TempDir() + "vornikctl-history-" + std::to_string(port);
    const std::string file = folder + "/h.sqlite";
};

TEST_F(CtlHistory, AWriteRecordsItsBlockBeforeAndItsReadBackNothingOfASilentOrUnchangedDevice)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "2"}));
    ASSERT_TRUE(sim.Ready());
    ASSERT_EQ(Ctl({"net", "set", kText2, "max-connections=2"}).exitCode, 0);
    EXPECT_EQ(Ctl({"net", "set", kText3, "max-connections=2"}).exitCode, 1) << "02-00-00-00-00-03 does not exist";
    const auto events = Events(file);
    ASSERT_EQ(events.size(), 2u);
    const history::Event &before = events[0], &after = events[1];
    EXPECT_TRUE(before.stage == history::Stage::Before && after.stage == history::Stage::After);
    for (const auto* e : {&before, &after}) {
        EXPECT_TRUE(e->mac == kMac2 && e->operation == "net set");
        EXPECT_EQ(e->ip >> 24, 127u) << "the loopback address the replies came from";
        ASSERT_TRUE(e->network && !e->device) << "only the block the write touches is read";
        // 192.168.0.101, the second device's factory address, little-endian at offset 1.
        EXPECT_TRUE((*e->network)[1] == 101 && (*e->network)[2] == 0 && (*e->network)[3] == 168 && (*e->network)[4] == 192);
    }
    // max-connections, offset 19: the factory 8, then 2; no other byte differs.
    EXPECT_EQ((*before.network)[19], 8);
    auto expected = *before.network;
    expected[19] = 2;
    EXPECT_EQ(*after.network, expected);

    const RunResult shown = Ctl({"--json", "history", kText2});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    const Json doc = Json::parse(shown.out);
    ASSERT_EQ(doc["events"].size(), 2u) << shown.out;
    EXPECT_TRUE(doc["events"][0]["changes"].empty());
    EXPECT_EQ(doc["events"][1]["changes"],
              Json::parse(R"([{"block": "network", "field": "max-connections", "old": 8, "new": 2}])"));
}

TEST_F(CtlHistory, ADeviceThatStoresNothingHasItsUnchangedReadBackRecorded)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1", "--store-nothing"}));
    ASSERT_TRUE(sim.Ready());
    EXPECT_EQ(Ctl({"dev", "set", kText1, "login-interval=300"}).exitCode, 1);
    const auto events = Events(file);
    ASSERT_EQ(events.size(), 2u);
    ASSERT_TRUE(events[0].device && events[1].device && events[1].stage == history::Stage::After);
    EXPECT_EQ(*events[0].device, *events[1].device);
}

// A damaged file, and a folder that cannot be made: said in one line, the write goes on.
TEST_F(CtlHistory, AnUnwritableHistoryIsSaidInOneLineAndTheWriteGoesOn)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1"}));
    ASSERT_TRUE(sim.Ready());
    std::ofstream(file) << std::string(8192, 'x');
    std::ofstream(folder + "/plain") << "x";
    int connections = 2;
    for (const std::string& path : {file, folder + "/plain/h.sqlite"}) {
        const std::string assignment = "max-connections=" + std::to_string(++connections);
        const RunResult r = Ctl({"net", "set", kText1, assignment}, {"--history", path});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find("history could not be written"), std::string::npos) << r.err;
        const Json got = Json::parse(Ctl({"--json", "net", "get", kText1}, {"--no-history"}).out);
        EXPECT_EQ(got["devices"][0]["network"]["max-connections"], connections) << path;
    }
}

TEST_F(CtlHistory, NoHistoryRecordsNothingAndTheDefaultFileFollowsXdgDataHome)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "3"}));
    ASSERT_TRUE(sim.Ready());
    ASSERT_EQ(Ctl({"net", "get", kText1}, {"--no-history"}).exitCode, 0);
    ASSERT_EQ(Ctl({"export", kText3, "-"}, {"default"}).exitCode, 0);
    const auto events = Events(folder + "/xdg/vornik/history.sqlite");
    ASSERT_EQ(events.size(), 1u) << "the export's read only";
    EXPECT_TRUE(events[0].network && events[0].device && events[0].stage == history::Stage::Read);
    EXPECT_EQ(Ctl({"net", "get", kText1}, {"--history", "a", "--no-history"}).exitCode, 2);
}

// A file applied to three devices, then undone: each holds every byte of
// both blocks as read before the apply, those no field shows included (the
// target address's bytes after its end differ on --varied devices).
TEST_F(CtlHistory, RestoreUndoesAnApplyByteForByte)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "3", "--varied"}));
    ASSERT_TRUE(sim.Ready());
    std::ofstream(folder + "/site.json") << R"({"format": "vornik-settings", "version": 1,
        "network": {"max-connections": 2, "server3": {"target-address": "10.0.0.5"}},
        "device": {"baud": 9600, "channel4": {"temp-upper": -0.5}}})";
    ASSERT_EQ(Ctl({"apply", folder + "/site.json", kText1, kText2, kText3}).exitCode, 0);
    const Json preview = Json::parse(Ctl({"--json", "restore", kText2, "--dry-run"}).out);
    EXPECT_EQ(preview["devices"][0]["result"], "would change");
    // Refused before anything is sent: no time in the history, bad times, both choices.
    EXPECT_EQ(Ctl({"restore", kText1, "--at", "2000-01-01T00:00:00Z"}).exitCode, 1);
    for (const char* at : {"2026-13-08T07:01:02Z", "2026-12-08T07:01:02+01:00", "2026-12-08T07:01"})
        EXPECT_EQ(Ctl({"restore", kText1, "--at", at}).exitCode, 2) << at;
    EXPECT_EQ(Ctl({"restore", kText1, "--at", "2026-12-08T07:01:02Z", "--before-last-write"}).exitCode, 2);
    // 02-00-00-00-00-04 has no history: refused, the others restored.
    const RunResult r = Ctl({"restore", kText1, kText2, kText3, "02-00-00-00-00-04"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("no write of it"), std::string::npos) << r.out;
    const auto events = Events(file);
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const auto& e) { return e.operation == "restore" && e.stage == history::Stage::Before; }),
              3);
    for (uint8_t n = 1; n <= 3; ++n) {
        const MacAddress mac{2, 0, 0, 0, 0, n};
        const auto* applied = Find(events, mac, "apply", history::Stage::Before);
        const auto* restored = Find(events, mac, "restore", history::Stage::After);
        ASSERT_TRUE(applied && restored && applied->network && applied->device && restored->network && restored->device);
        EXPECT_NE((*applied->network)[19], 2) << "the apply changed max-connections";
        EXPECT_EQ(*restored->network, *applied->network) << FormatMacText(mac);
        EXPECT_EQ(*restored->device, *applied->device) << FormatMacText(mac);
    }
}

TEST_F(CtlHistory, ReplaceGivesTheNewDeviceTheOldOnesBlocksButNotItsAddressWhileTheOldAnswers)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "2", "--varied"}));
    ASSERT_TRUE(sim.Ready());
    ASSERT_EQ(Ctl({"net", "set", kText1, "ip=192.168.0.50", "max-connections=2"}).exitCode, 0);
    ASSERT_EQ(Ctl({"dev", "set", kText1, "baud=9600", "channel8.temp-lower=-0.5"}).exitCode, 0);
    EXPECT_EQ(Ctl({"replace", kText1, kText1}).exitCode, 2);
    EXPECT_EQ(Ctl({"replace", "02-00-00-00-00-09", kText2}).exitCode, 1) << "no history of the old device";
    const RunResult refused = Ctl({"replace", kText1, kText2});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.out.find("already answers with 192.168.0.50"), std::string::npos) << refused.out;
    ASSERT_EQ(Ctl({"replace", kText1, kText2, "--force"}).exitCode, 0);
    const auto events = Events(file);
    // The old device's blocks come from two writes: network from the first, device from the second.
    const auto* oldNet = Find(events, kMac1, "net set", history::Stage::After);
    const auto* oldDev = Find(events, kMac1, "dev set", history::Stage::After);
    const auto* now = Find(events, kMac2, "replace", history::Stage::After, true);
    ASSERT_TRUE(oldNet && oldDev && now && now->network && now->device);
    EXPECT_EQ(*now->network, *oldNet->network);
    EXPECT_EQ(*now->device, *oldDev->device);
    EXPECT_EQ((*now->network)[1], 50) << "192.168.0.50, little-endian";
}

} // namespace

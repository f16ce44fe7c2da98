// vornikctl's settings history against simulated devices: what a write
// records before it is sent and after its read-back (a silent device, one
// that stores nothing), a history that cannot be written, which must not
// stop the command, and restore and replace checked byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <fcntl.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <unistd.h>

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
    // A history only read is not made: a mistyped --history is no empty, successful listing.
    const std::vector<std::vector<std::string>> readers{
        {"history"}, {"history", "export", kText1, "-"}, {"restore", kText1}, {"replace", kText1, kText2}};
    for (const auto& args : readers) EXPECT_EQ(Ctl(args, {"--history", folder + "/typo/h.sqlite"}).exitCode, 1) << args[0];
    EXPECT_FALSE(std::filesystem::exists(folder + "/typo"));
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
    for (const char* at : {"2026-13-08T07:01:02Z", "2026-02-29T07:01:02Z", "2026-12-08T07:01:02+01:00", "2026-12-08T07:01"})
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

// A MAC write changes no block, but the device answers under another MAC
// afterwards: its history must follow it there, so that history and restore
// under the new MAC find what it held.
TEST_F(CtlHistory, AMacWriteIsRecordedUnderBothMacs)
{
    const MacAddress kMac9{2, 0, 0, 0, 0, 9};
    const std::string kText9 = "02-00-00-00-00-09";
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1", "--varied"}));
    ASSERT_TRUE(sim.Ready());
    ASSERT_EQ(Ctl({"net", "set", kText1, "max-connections=3"}).exitCode, 0);
    const RunResult written = Ctl({"mac", "set", kText1, kText9});
    ASSERT_EQ(written.exitCode, 0) << written.out << written.err;
    const auto events = Events(file);
    const auto* set = Find(events, kMac1, "net set", history::Stage::After);
    const struct {
        const char* name;
        const MacAddress& mac;
        history::Stage stage;
    } rows[] = {
        {"before, under the old MAC", kMac1, history::Stage::Before},
        {"before, under the new MAC", kMac9, history::Stage::Before},
        {"after, under the new MAC", kMac9, history::Stage::After},
    };
    ASSERT_TRUE(set && set->network);
    for (const auto& row : rows) {
        const auto* e = Find(events, row.mac, "mac set", row.stage);
        ASSERT_TRUE(e && e->network && e->device) << row.name;
        EXPECT_EQ(*e->network, *set->network) << row.name << ": the block the device held";
        EXPECT_EQ((*e->network)[19], 3) << row.name << ": max-connections as written before";
    }
    EXPECT_FALSE(Find(events, kMac1, "mac set", history::Stage::After)) << "nothing answers under the old MAC";
    const RunResult listed = Ctl({"history", kText9});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("mac set"), std::string::npos) << listed.out;
    // The device holds the blocks recorded before the write: nothing to write.
    const RunResult restored = Ctl({"restore", kText9, "--before-last-write"});
    EXPECT_EQ(restored.exitCode, 0) << restored.out << restored.err;
    EXPECT_NE(restored.out.find("unchanged"), std::string::npos) << restored.out;
}

// replace gives a device its predecessor's settings, every field of both
// blocks, but not the six network bytes no field shows: those are the
// device's own. A predecessor still on holds two addresses, the one it
// answers with and the one its block holds (a DHCP lease and the static
// address it takes at its next start); the new device may take neither.
TEST_F(CtlHistory, ReplaceChecksBothAddressesOfTheOldDeviceAndKeepsTheNewOnesOwnBytes)
{
    const struct {
        const char* name;
        bool oldStaysOn;
        std::vector<std::string> args; // after replace OLD NEW
        int exitCode;
        std::string result, says;
    } rows[] = {
        {"the old device on, answering with a lease", true, {}, 1, "not written",
         "its network block holds 192.168.0.100"},
        {"the old device on, --force", true, {"--force"}, 0, "confirmed", ""},
        {"the old device gone", false, {}, 0, "confirmed", ""},
    };
    const std::array<uint8_t, 6> oldOwn{0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(file);
        auto old = std::make_unique<SimProcess>(LoopbackSimArgs(port, {"--answer-ip", "10.9.9.9"}));
        ASSERT_TRUE(old->Ready());
        ASSERT_EQ(Ctl({"net", "get", kText1}).exitCode, 0);
        if (!row.oldStaysOn) old.reset();
        // The old device's bytes no field shows, as the history last saw them.
        history::Event recorded = *Find(Events(file), kMac1, "net get", history::Stage::Read);
        ++recorded.timeMs;
        std::copy(oldOwn.begin(), oldOwn.end(), recorded.network->begin() + 13);
        ASSERT_FALSE(std::get<history::Store>(history::Store::Open(file)).RecordAll(std::vector<history::Event>{recorded}));
        SimProcess replacement(LoopbackSimArgs(port, {"--base-mac", kText2, "--base-ip", "192.168.0.150"}));
        ASSERT_TRUE(replacement.Ready());
        std::vector<std::string> args{"--json", "replace", kText1, kText2};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.out << r.err;
        const Json d = Json::parse(r.out, nullptr, false)["devices"][0];
        EXPECT_EQ(d["result"], row.result) << r.out;
        EXPECT_NE(d.value("error", "").find(row.says), std::string::npos) << r.out;
        if (row.result != "confirmed") continue;
        const auto events = Events(file);
        const auto* now = Find(events, kMac2, "replace", history::Stage::After, true);
        ASSERT_TRUE(now && now->network);
        for (size_t k = 0; k < 6; ++k) EXPECT_EQ((*now->network)[13 + k], 0) << "byte " << 13 + k << " is the new device's";
        history::Event expected = recorded;
        std::fill_n(expected.network->begin() + 13, 6, 0);
        EXPECT_EQ(*now->network, *expected.network) << "every other byte the old device's, 192.168.0.100 too";
    }
}

// Restore where it can go wrong. The history is given two writes' blocks of
// devices 1-3 (3 is not on the link): at 2021-03-04T05:06:07.088Z, as read
// before a write, max-connections 7; at .089Z, its read-back, max-connections
// 3, a byte after server 3's target address that no field shows, baud 9600
// and channel 4's temp-upper -0.5. Devices 1 and 2 are then read back.
struct RestoreCase {
    const char* name;
    std::vector<std::string> sim;     // on top of two --varied devices
    std::vector<std::string> args;    // after "restore"
    std::vector<std::string> results; // each device's
    int exitCode;
    int writes;      // the simulator received; -1: not counted
    char holds;      // devices 1 and 2 then hold: 'L' the last write's read-back, 'B' the blocks before it, 'F' their own
};

TEST_F(CtlHistory, RestoreConfirmsOnlyWhatEachDeviceReadsBackAndWritesNothingForADryRun)
{
    const std::string at = "2021-03-04T05:06:07.089Z", justBefore = "2021-03-04T05:06:07.088Z";
    const RestoreCase rows[] = {
        {"one silent device among several", {}, {"--at", at, kText1, kText2, kText3},
         {"confirmed", "confirmed", "not written"}, 1, 4, 'L'},
        {"devices that acknowledge and store nothing", {"--store-nothing"}, {"--at", at, kText1, kText2},
         {"not confirmed", "not confirmed"}, 1, 8, 'F'},
        {"no acknowledgement: the read-back confirms", {"--no-ack"}, {"--at", at, kText1, kText2},
         {"confirmed", "confirmed"}, 0, 4, 'L'},
        {"late replies", {"--delay", "1", "--delay-ms", "100"}, {"--at", at, kText1, kText2},
         {"confirmed", "confirmed"}, 0, -1, 'L'},
        {"--at a millisecond before the read-back", {}, {"--at", justBefore, kText1, kText2},
         {"confirmed", "confirmed"}, 0, 4, 'B'},
        {"--at a millisecond before the first event", {}, {"--at", "2021-03-04T05:06:07.087Z", kText1, kText2},
         {"not written", "not written"}, 1, 0, 'F'},
        {"--before-last-write", {}, {"--before-last-write", kText1, kText2}, {"confirmed", "confirmed"}, 0, 4, 'B'},
        {"--dry-run", {}, {"--dry-run", "--at", at, kText1, kText2}, {"would change", "would change"}, 0, 0, 'F'},
    };
    const int64_t t = 1614834367089; // date -u -d 2021-03-04T05:06:07Z +%s, and 89 ms
    for (const RestoreCase& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(file);
        const std::string stats = folder + "/stats", check = folder + "/check.sqlite";
        std::vector<std::string> simArgs{"--devices", "2", "--varied", "--stats", stats};
        simArgs.insert(simArgs.end(), row.sim.begin(), row.sim.end());
        SimProcess sim(LoopbackSimArgs(port, simArgs));
        ASSERT_TRUE(sim.Ready());
        ASSERT_EQ(Ctl({"export", kText1, "-"}).exitCode, 0);
        ASSERT_EQ(Ctl({"export", kText2, "-"}).exitCode, 0);
        std::map<MacAddress, history::Event> own, before, last;
        for (const auto& e : Events(file)) own[e.mac] = e;
        own[{2, 0, 0, 0, 0, 3}] = own[kMac1];
        (*own[{2, 0, 0, 0, 0, 3}].network)[1] = 102; // 192.168.0.102, no other device's
        std::vector<history::Event> written;
        for (auto& [mac, e] : own) {
            e.mac = mac;
            before[mac] = last[mac] = e;
            before[mac].timeMs = t - 1;
            before[mac].stage = history::Stage::Before;
            (*before[mac].network)[19] = 7;
            history::Event& l = last[mac];
            l.timeMs = t;
            l.stage = history::Stage::After;
            (*l.network)[19] = 3;
            (*l.network)[20 + 2 * 34 + 4 + 29] = 0x5A;                     // server 3's target address, last byte
            std::copy_n("\x80\x25\x00\x00", 4, l.device->begin() + 12);   // baud 9600, little-endian
            std::copy_n("\xFB\xFF", 2, l.device->begin() + 30 - 2 + 3 * 8); // channel 4 temp-upper -5 tenths
            written.push_back(before[mac]);
            written.push_back(l);
        }
        auto store = history::Store::Open(file);
        ASSERT_FALSE(std::get<history::Store>(store).RecordAll(written));

        std::vector<std::string> args{"--json", "restore"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.out << r.err;
        const Json doc = Json::parse(r.out, nullptr, false);
        ASSERT_TRUE(doc.contains("devices")) << r.out;
        ASSERT_EQ(doc["devices"].size(), row.results.size());
        for (size_t i = 0; i < row.results.size(); ++i) EXPECT_EQ(doc["devices"][i]["result"], row.results[i]) << i;
        if (row.writes >= 0) {
            EXPECT_EQ(SimWrites(stats), row.writes);
        }
        std::filesystem::remove(check);
        for (const MacAddress& mac : {kMac1, kMac2}) {
            ASSERT_EQ(Ctl({"export", FormatMacText(mac), "-"}, {"--history", check}).exitCode, 0);
            const std::vector<history::Event> events = Events(check);
            const history::Event* got = Find(events, mac, "export", history::Stage::Read);
            const auto& want = (row.holds == 'L' ? last : row.holds == 'B' ? before : own)[mac];
            ASSERT_TRUE(got && got->network && got->device);
            EXPECT_EQ(*got->network, *want.network) << FormatMacText(mac);
            EXPECT_EQ(*got->device, *want.device) << FormatMacText(mac);
        }
    }
}

// Files another program, a crash or an administrator left: an apply to
// devices 1, 2 and the silent 3 goes on past each, one line on stderr says
// the history could not be written, and it exits as without a history.
TEST_F(CtlHistory, AnApplyGoesOnPastAHistoryItCannotWriteAndExitsAsWithoutOne)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "2"}));
    ASSERT_TRUE(sim.Ready());
    const std::string valid = folder + "/valid.sqlite";
    ASSERT_EQ(Ctl({"net", "get", kText1}, {"--history", valid}).exitCode, 0);
    auto sql = [](const std::string& path, const char* statement) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, statement, nullptr, nullptr, nullptr);
        return db;
    };
    sqlite3* holder = nullptr; // the other program's connection, open while the row runs
    auto immutable = [](const std::string& path, bool on) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        int flags = 0;
        const bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                          ::ioctl(fd, FS_IOC_SETFLAGS, (flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL, &flags)) == 0;
        if (fd >= 0) ::close(fd);
        return done;
    };
    const std::pair<const char*, std::function<bool(const std::string&)>> rows[] = {
        {"damaged inside: the events' first page overwritten",
         [](const std::string& path) {
             std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(2 * 4096);
             f << std::string(4096, 'U');
             return bool(f);
         }},
        {"locked: another program holds its write lock",
         [&](const std::string& path) { return (holder = sql(path, "BEGIN IMMEDIATE")) != nullptr; }},
        {"read-only: immutable, so even root cannot write it", [&](const std::string& path) { return immutable(path, true); }},
        {"written by a later version",
         [&](const std::string& path) { return sqlite3_close(sql(path, "UPDATE schema_version SET version = 99")) == SQLITE_OK; }},
    };
    std::ofstream(folder + "/a.json") << R"({"format": "vornik-settings", "version": 1, "network": {"max-connections": 7}})";
    const int exitCode = Ctl({"apply", folder + "/a.json", kText1, kText2, kText3}, {"--no-history"}).exitCode;
    EXPECT_EQ(exitCode, 1) << "02-00-00-00-00-03 does not answer";
    int connections = 0;
    for (const auto& [name, make] : rows) {
        SCOPED_TRACE(name);
        const std::string path = folder + "/h" + std::to_string(++connections) + ".sqlite";
        std::filesystem::copy_file(valid, path);
        if (!make(path)) {
            std::cerr << "not run here: " << name << "\n";
            continue;
        }
        std::ofstream(folder + "/a.json") << R"({"format": "vornik-settings", "version": 1, "network": {"max-connections": )"
                                          << connections << "}}";
        const RunResult r = Ctl({"apply", folder + "/a.json", kText1, kText2, kText3}, {"--history", path});
        sqlite3_close(std::exchange(holder, nullptr));
        immutable(path, false);
        EXPECT_EQ(r.exitCode, exitCode) << r.out << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find("history could not be written"), std::string::npos) << r.err;
        const Json got = Json::parse(Ctl({"--json", "net", "get", kText1, kText2}, {"--no-history"}).out);
        for (const auto& device : got["devices"]) EXPECT_EQ(device["network"]["max-connections"], connections);
    }
}

// Three vornikctl at once, each writing its device three times, the first
// time into a file none of them has made yet: every write's two events kept.
TEST_F(CtlHistory, ThreeProgramsWritingOneNewHistoryAtOnceLoseNoEvent)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "3"}));
    ASSERT_TRUE(sim.Ready());
    std::vector<std::thread> programs;
    std::vector<std::string> errors(3);
    for (int p = 0; p < 3; ++p)
        programs.emplace_back([&, p] {
            for (int k = 1; k <= 3; ++k)
                errors[p] += Ctl({"net", "set", "02-00-00-00-00-0" + std::to_string(p + 1), "max-connections=" + std::to_string(k)}).err;
        });
    for (auto& t : programs) t.join();
    for (const auto& e : errors) EXPECT_EQ(e, "");
    const auto events = Events(file);
    EXPECT_EQ(events.size(), 18u);
    for (uint8_t n = 1; n <= 3; ++n)
        EXPECT_EQ(std::count_if(events.begin(), events.end(), [&](const auto& e) { return e.mac == MacAddress{2, 0, 0, 0, 0, n}; }), 6);
}

} // namespace

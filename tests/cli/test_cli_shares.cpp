// vornikctl apply over a fleet larger than one share: the devices go from
// read to result a share at a time, and the report is spooled out of memory.
// Whatever the shares, the report must be the one a single batch gives (each
// device once, in the order given), a plan of addresses must stay all or
// nothing, and Ctrl-C must stop the shares not begun.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "vornikctl_fixture.h"

namespace vornik::test {
namespace {

using namespace std::chrono_literals;

// Three shares of the fleet: two of 1,024 devices and a short one.
constexpr int kFleet = 2100;
const std::string kSilent = "02-00-00-00-F0-0"; // then 1, 2, 3: a simulator of its own

// The simulator's MAC for fleet device `i` (from 1).
std::string FleetMac(int i) { return SimMacs(i, i)[0]; }

class Shares : public Vornikctl {
protected:
    // vornikctl --json (or its table) on this test's link, its progress notes on stderr;
    // `devices` are the MACs, with apply's own options if any.
    RunResult Apply(const std::vector<std::string>& options, const std::string& file,
                    const std::vector<std::string>& devices, const std::optional<Interruption>& interruption = {},
                    bool json = true)
    {
        std::vector<std::string> args{"--port", std::to_string(port), "--broadcast", "127.255.255.255", "--bind",
                                      "127.0.0.2"};
        if (json) args.insert(args.begin(), "--json");
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {"apply", file});
        args.insert(args.end(), devices.begin(), devices.end());
        return RunProgram(VORNIKCTL_PATH, args, 120s, {}, interruption);
    }
    std::string BaudFile()
    {
        const std::string file = TempFile("baud.json");
        std::ofstream(file) << R"({"format": "vornik-settings", "version": 1, "device": {"baud": 9600}})";
        return file;
    }
    int BaudOf(const std::string& mac) { return Doc(Ctl({"dev", "get", mac}))["devices"][0]["device"].value("baud", 0); }
};

// Devices that never answer, one in each share, are reported there by name;
// every other device is confirmed. A LAN that loses replies puts the devices
// after the first share in one, as the notes say; a silent device does not.
// As a table the devices are listed likewise, in order, before the sum.
TEST_F(Shares, EveryDeviceIsReportedOnceInTheOrderGivenWhateverItsShare)
{
    struct Row {
        std::string name;
        std::vector<std::string> sim, timing;
        std::vector<int> silentAt;
        std::vector<std::string> notes; // in this order on stderr
        bool table = false;             // the report as a table, not JSON
    };
    const std::vector<std::string> calm{"--interval", "1", "--tries", "2"};
    const std::string read = "vornikctl: read: ";
    const std::vector<Row> rows = {
        {"all answer", {}, calm, {}, {read + "1024 device(s)", read + "1024 device(s)", read + "52 device(s)"}},
        {"one silent in each share", {}, calm, {0, 1500, 2102},
         {read + "1024 device(s)", read + "1024 device(s)", read + "55 device(s)"}},
        {"a LAN that loses a reply in twenty", {"--drop", "0.05", "--seed", "7"}, {"--interval", "0.2", "--tries", "6"}, {},
         {read + "1024 device(s)", "the other 1076 device(s) go as one share", read + "1076 device(s)"}},
        {"all answer, as a table", {}, calm, {}, {read + "1024 device(s)", read + "1024 device(s)", read + "52 device(s)"},
         true},
    };
    const std::string file = BaudFile();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> simArgs{"--devices", std::to_string(kFleet)};
        simArgs.insert(simArgs.end(), row.sim.begin(), row.sim.end());
        SimProcess fleet(LoopbackSimArgs(port, simArgs));
        SimProcess silent(LoopbackSimArgs(port, {"--devices", "3", "--base-mac", kSilent + "1", "--base-ip",
                                                 "192.168.200.1", "--drop", "1"}));
        ASSERT_TRUE(fleet.Ready() && silent.Ready());
        std::vector<std::string> macs = SimMacs(1, kFleet);
        for (size_t k = 0; k < row.silentAt.size(); ++k)
            macs.insert(macs.begin() + row.silentAt[k], kSilent + std::to_string(k + 1));
        const RunResult r = Apply(row.timing, file, macs, {}, !row.table);
        EXPECT_EQ(r.exitCode, row.silentAt.empty() ? 0 : 1);
        size_t at = 0;
        for (const std::string& note : row.notes) {
            at = r.err.find(note + "\n", at);
            ASSERT_NE(at, std::string::npos) << note << " (in order)";
        }
        if (row.sim.empty()) {
            EXPECT_EQ(r.err.find("as one share"), std::string::npos);
        }
        EXPECT_EQ(BaudOf(FleetMac(kFleet)), 9600) << "the last share holds what was written";
        if (row.table) {
            // A device's line starts with its MAC, the lines of its changes with blanks.
            std::istringstream lines(r.out);
            std::string line, last;
            std::vector<std::string> listed;
            std::getline(lines, line);
            EXPECT_TRUE(line.starts_with("MAC ")) << line;
            while (std::getline(lines, line)) {
                if (line.starts_with("02-")) {
                    listed.push_back(line.substr(0, 17));
                    ASSERT_NE(line.find(" confirmed "), std::string::npos) << line;
                }
                last = line;
            }
            EXPECT_EQ(listed, macs);
            EXPECT_EQ(last, "2100 of 2100 device(s) ok, 2100 changed, 0 unchanged");
            continue;
        }
        const Json doc = Doc(r);
        EXPECT_EQ(doc["confirmed"], kFleet);
        EXPECT_EQ(doc["failed"], row.silentAt.size());
        EXPECT_EQ(doc["changed"], kFleet);
        ASSERT_EQ(doc["devices"].size(), macs.size());
        for (size_t k = 0; k < macs.size(); ++k) {
            const Json& d = doc["devices"][k];
            ASSERT_EQ(d["mac"], macs[k]) << k;
            if (macs[k].starts_with(kSilent)) {
                EXPECT_EQ(d["result"], "not written") << k;
                EXPECT_NE(d.value("error", "").find("no reply to the device read (2 tries)"), std::string::npos) << d;
            } else {
                ASSERT_EQ(d["result"], "confirmed") << k << d;
                ASSERT_EQ(d["device"]["baud"], 9600) << k;
            }
        }
    }
}

// A plan of addresses is one: a refusal in what would be its second share
// leaves the devices of the first unwritten too.
TEST_F(Shares, APlanOfAddressesLargerThanAShareIsStillAllOrNothing)
{
    constexpr int kPlan = 1100;
    const std::string stats = TempFile("stats");
    SimProcess fleet(LoopbackSimArgs(port, {"--devices", std::to_string(kPlan + 1), "--stats", stats}));
    ASSERT_TRUE(fleet.Ready());
    // Device kPlan + 1 stays outside the plan; numbered from the second
    // device's address, the plan's last device would take its address.
    const Json found = Doc(Ctl({"search"}));
    ASSERT_EQ(found["count"], kPlan + 1);
    std::map<std::string, std::string> ipOf;
    for (const Json& d : found["devices"]) ipOf[d["mac"]] = d["ip"];
    const std::string file = TempFile("mask.json");
    std::ofstream(file) << R"({"format": "vornik-settings", "version": 1, "network": {"mask": "255.255.0.0"}, "device": {"baud": 9600}})";
    std::vector<std::string> plan{"--ip-from", ipOf[FleetMac(2)]};
    for (const std::string& mac : SimMacs(1, kPlan)) plan.push_back(mac);
    const RunResult r = Apply({"--interval", "0.2"}, file, plan);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const Json doc = Doc(r);
    EXPECT_EQ(doc["confirmed"], 0);
    ASSERT_EQ(doc["devices"].size(), kPlan);
    EXPECT_NE(doc["devices"][kPlan - 1].value("error", "").find(ipOf[FleetMac(kPlan + 1)]), std::string::npos)
        << doc["devices"][kPlan - 1];
    EXPECT_NE(doc["devices"][0].value("error", "").find("the write to " + FleetMac(kPlan) + " was refused"),
              std::string::npos)
        << doc["devices"][0];
    EXPECT_EQ(SimWrites(stats), 0);
    EXPECT_EQ(BaudOf(FleetMac(1)), 4800);
}

// Ctrl-C while the first share is written: the shares after it are neither
// read nor written (nor said to be), and the command ends at once.
TEST_F(Shares, CtrlCInTheFirstShareLeavesTheLaterSharesUntouched)
{
    const std::string late = kSilent + "1", stats = TempFile("stats");
    SimProcess fleet(LoopbackSimArgs(port, {"--devices", std::to_string(kFleet), "--stats", stats}));
    // Its replies come seconds late, so the first share's write round is under way when Ctrl-C comes.
    SimProcess slow(LoopbackSimArgs(port, {"--base-mac", late, "--base-ip", "192.168.200.1", "--delay", "1",
                                           "--delay-ms", "4000"}));
    ASSERT_TRUE(fleet.Ready() && slow.Ready());
    std::vector<std::string> macs = SimMacs(1, kFleet);
    macs.insert(macs.begin(), late);
    const RunResult r =
        Apply({"--interval", "3", "--tries", "20"}, BaudFile(), macs, Interruption{"write, round 1", 0ms});
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_GE(r.afterInterrupt.count(), 0) << r.err;
    EXPECT_LT(r.afterInterrupt, 1500ms) << "Ctrl-C must not wait for the later shares";
    const Json doc = Doc(r);
    ASSERT_EQ(doc["devices"].size(), macs.size());
    EXPECT_EQ(doc["interrupted"], true);
    // The first share is the late device and 1,023 of the fleet.
    for (size_t k = 1024; k < macs.size(); ++k) {
        const Json& d = doc["devices"][k];
        ASSERT_EQ(d["result"], "not written") << k << d;
        ASSERT_NE(d.value("error", "").find("interrupted"), std::string::npos) << k << d;
    }
    EXPECT_LE(SimWrites(stats), 2 * 1023) << "no write beyond the first share";
    size_t reads = 0;
    for (size_t at = 0; (at = r.err.find("vornikctl: read: ", at)) != std::string::npos; ++at) ++reads;
    EXPECT_EQ(reads, 1) << "no later share is said to be read";
    EXPECT_EQ(BaudOf(FleetMac(1024)), 4800);
    EXPECT_EQ(BaudOf(FleetMac(kFleet)), 4800);
}

} // namespace
} // namespace vornik::test

// vornikctl end to end: the program as a child process, simulated devices in
// another, the link on loopback (a port of the test's own, replies to
// 127.255.255.255, sending from 127.0.0.2). Its --json output is parsed and
// checked field by field.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "vornikctl_fixture.h"
#include "proto/frame.h"
#include "proto/net_params.h"
#include "sim_process.h"
#include "udp_listener.h"
#include "hex.h"
#include "vectors.h"

using namespace vornik::test;
using Json = nlohmann::json;
using namespace std::chrono_literals;

namespace {

TEST_F(Vornikctl, SearchListsEveryDeviceFieldByField)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "4", "--firmware", "513"}));
    ASSERT_TRUE(sim.Ready());
    const Json doc = Confirmed({"search", "--wait", "0.5"});
    EXPECT_EQ(doc["command"], "search");
    ASSERT_EQ(doc["count"], 4);
    ASSERT_EQ(doc["devices"].size(), 4u);
    std::set<std::string> macs;
    for (const Json& d : doc["devices"]) {
        const std::string mac = d["mac"];
        macs.insert(mac);
        const int n = std::stoi(mac.substr(15), nullptr, 16); // 1..4
        EXPECT_EQ(d["ip"], "192.168.0." + std::to_string(99 + n));
        EXPECT_EQ(d["firmware"], 513);
        EXPECT_EQ(d["source"].get<std::string>().rfind("127.", 0), 0u) << d["source"];
        EXPECT_EQ(d["source"].get<std::string>().substr(d["source"].get<std::string>().find(':') + 1),
                  std::to_string(port));
        EXPECT_FALSE(d["heard-on"].empty());
        EXPECT_GE(d["replies"], 1);
        EXPECT_EQ(d["duplicate-ip"], false);
        EXPECT_EQ(d["duplicate-mac"], false);
    }
    EXPECT_EQ(macs, (std::set<std::string>{kMac1, kMac2, kMac3, kMac4}));
}

TEST_F(Vornikctl, SearchMarksDuplicateAddresses)
{
    SimProcess fleet(LoopbackSimArgs(port, {"--devices", "2"}));
    // A second device with 02-00-00-00-00-01 elsewhere, and a third on 192.168.0.101.
    SimProcess sameMac(LoopbackSimArgs(port, {"--base-mac", kMac1, "--base-ip", "10.0.0.9"}));
    SimProcess sameIp(LoopbackSimArgs(port, {"--base-mac", "02-00-00-00-00-77", "--base-ip", "192.168.0.101"}));
    ASSERT_TRUE(fleet.Ready() && sameMac.Ready() && sameIp.Ready());
    // Four are expected: a loaded machine's late simulator costs a round, not the test.
    const Json doc = Confirmed({"search", "--wait", "0.5", "--expect", "4"});
    ASSERT_EQ(doc["count"], 4) << doc.dump(1);
    for (const Json& d : doc["devices"]) {
        const std::string key = d["mac"].get<std::string>() + " " + d["ip"].get<std::string>();
        const bool dupMac = d["mac"] == kMac1;
        const bool dupIp = d["ip"] == "192.168.0.101";
        EXPECT_EQ(d["duplicate-mac"], dupMac) << key;
        EXPECT_EQ(d["duplicate-ip"], dupIp) << key;
    }
    // A table for people says the same.
    const RunResult table = RunProgram(VORNIKCTL_PATH, {"--port", std::to_string(port), "--broadcast", "127.255.255.255",
                                                        "--bind", "127.0.0.2", "search", "--wait", "0.5", "--expect", "4"});
    EXPECT_EQ(table.exitCode, 0);
    EXPECT_NE(table.out.find("duplicate MAC"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("duplicate IP"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("4 device(s)"), std::string::npos) << table.out;
}

// With a share of the replies lost, one broadcast misses devices; rounds find
// them, and --expect tells a script when some are still missing.
TEST_F(Vornikctl, SearchGoesInRoundsUntilNoNewDeviceAnswers)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "20", "--drop", "0.2", "--seed", "7"}));
    ASSERT_TRUE(sim.Ready());
    const Json once = Doc(Ctl({"search", "--wait", "0.3"}, {"--tries", "1"}));
    EXPECT_LT(once["count"], 20) << "the seed should lose some replies of a single round";
    const RunResult rounds = Ctl({"search", "--wait", "0.3", "--expect", "20"}, {"--tries", "8"});
    EXPECT_EQ(rounds.exitCode, 0) << rounds.out << rounds.err;
    EXPECT_EQ(Doc(rounds)["count"], 20);

    const RunResult missing = Ctl({"search", "--wait", "0.3", "--expect", "21"}, {"--tries", "4"});
    EXPECT_EQ(missing.exitCode, 1) << missing.out;
    EXPECT_EQ(Doc(missing)["count"], 20);
    EXPECT_NE(missing.err.find("20 device(s) answered, 21 expected"), std::string::npos) << missing.err;

    // apply --all says how many each round found, and reaches every device.
    const std::string file = TempFile("rounds.json");
    std::ofstream(file) << R"({"format": "vornik-settings", "version": 1, "device": {"baud": 9600}})";
    const RunResult applied =
        RunProgram(VORNIKCTL_PATH, {"--json", "--port", std::to_string(port), "--broadcast", "127.255.255.255", "--bind",
                                    "127.0.0.2", "--interval", "0.2", "--tries", "6", "apply", file, "--all", "--wait",
                                    "0.3", "--expect", "20"});
    EXPECT_EQ(applied.exitCode, 0) << applied.out << applied.err;
    EXPECT_EQ(Doc(applied)["confirmed"], 20);
    EXPECT_NE(applied.err.find("search, round 1: "), std::string::npos) << applied.err;
    EXPECT_NE(applied.err.find("search, round 2: "), std::string::npos) << applied.err;

    // A fleet short of its count is left alone: which device is missing is unknown.
    std::ofstream(file, std::ios::trunc) << R"({"format": "vornik-settings", "version": 1, "device": {"baud": 19200}})";
    const RunResult shortOne = RunProgram(VORNIKCTL_PATH, {"--json", "--port", std::to_string(port), "--broadcast", "127.255.255.255",
                                                           "--bind", "127.0.0.2", "--tries", "4", "apply", file, "--all", "--wait",
                                                           "0.3", "--expect", "21"});
    EXPECT_EQ(shortOne.exitCode, 1) << shortOne.out << shortOne.err;
    EXPECT_EQ(Doc(shortOne)["confirmed"], 0);
    EXPECT_EQ(Doc(Ctl({"dev", "get", "02-00-00-00-00-01"}))["devices"][0]["device"]["baud"], 9600);
}

TEST_F(Vornikctl, GetReadsBothFactoryBlocksFieldByField)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "2"}));
    ASSERT_TRUE(sim.Ready());
    const Json net = Confirmed({"net", "get", kMac2});
    EXPECT_EQ(net["command"], "net get");
    ASSERT_EQ(net["devices"].size(), 1u);
    const Json& d = net["devices"][0];
    EXPECT_EQ(d["mac"], kMac2);
    EXPECT_EQ(d["ok"], true);
    const Json& n = d["network"];
    EXPECT_EQ(n["mode"], "static");
    EXPECT_EQ(n["ip"], "192.168.0.101");
    EXPECT_EQ(n["mask"], "255.255.255.0");
    EXPECT_EQ(n["gateway"], "192.168.0.1");
    EXPECT_EQ(n["max-connections"], 8);
    for (int k = 1; k <= 8; ++k) {
        const Json& s = n["server" + std::to_string(k)];
        EXPECT_EQ(s["local-port"], 1999 + k);
        EXPECT_EQ(s["target-address"], "192.168.0.166");
        EXPECT_EQ(s["target-port"], 1999 + k);
    }
    EXPECT_FALSE(d.contains("device"));

    const Json dev = Confirmed({"dev", "get", kMac2});
    const Json& p = dev["devices"][0]["device"];
    EXPECT_EQ(p["server-count"], 8);
    EXPECT_EQ(p["terminal-address"], "12345678");
    EXPECT_EQ(p["login-interval"], 3);
    EXPECT_EQ(p["heartbeat-interval"], 60);
    EXPECT_EQ(p["upload-interval"], 5);
    EXPECT_EQ(p["work-mode"], "probe");
    EXPECT_EQ(p["baud"], 4800);
    EXPECT_EQ(p["data-bits"], 8);
    EXPECT_EQ(p["parity"], "none");
    EXPECT_EQ(p["stop-bits"], 1);
    EXPECT_EQ(p["modbus-terminal-count"], 1);
    for (int c = 1; c <= 8; ++c) {
        const Json& ch = p["channel" + std::to_string(c)];
        EXPECT_EQ(ch["address"], c);
        EXPECT_DOUBLE_EQ(ch["temp-upper"].get<double>(), 99.9);
        EXPECT_DOUBLE_EQ(ch["temp-lower"].get<double>(), 0.0);
        EXPECT_DOUBLE_EQ(ch["humidity-upper"].get<double>(), 99.9);
        EXPECT_DOUBLE_EQ(ch["humidity-lower"].get<double>(), 0.0);
    }
}

// A field, the value given, and where and how the device shows it afterwards.
struct Setting {
    const char* assignment;
    const char* pointer;
    Json expected;
};

void ExpectSettings(const Json& block, const std::vector<Setting>& settings, const char* root)
{
    for (const Setting& s : settings) {
        const Json& got = block.at(Json::json_pointer(std::string(s.pointer).substr(std::strlen(root))));
        if (s.expected.is_number_float())
            EXPECT_DOUBLE_EQ(got.get<double>(), s.expected.get<double>()) << s.assignment;
        else
            EXPECT_EQ(got, s.expected) << s.assignment;
    }
}

TEST_F(Vornikctl, NetSetChangesEveryFieldAndConfirmsItByReadBack)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "2"}));
    ASSERT_TRUE(sim.Ready());
    const std::vector<Setting> settings = {
        {"mode=dhcp", "/network/mode", "dhcp"},
        {"ip=10.20.30.40", "/network/ip", "10.20.30.40"},
        {"mask=255.255.0.0", "/network/mask", "255.255.0.0"},
        {"gateway=10.20.0.1", "/network/gateway", "10.20.0.1"},
        {"max-connections=3", "/network/max-connections", 3},
        {"server1.local-port=0", "/network/server1/local-port", 0},
        {"server3.target-address=collector.example", "/network/server3/target-address", "collector.example"},
        {"server3.target-port=4001", "/network/server3/target-port", 4001},
        {"server8.local-port=65535", "/network/server8/local-port", 65535},
        {"server8.target-address=", "/network/server8/target-address", ""},
    };
    std::vector<std::string> args{"net", "set", kMac1};
    for (const Setting& s : settings) args.push_back(s.assignment);
    const Json doc = Confirmed(args);
    EXPECT_EQ(doc["command"], "net set");
    EXPECT_EQ(doc["confirmed"], 1);
    EXPECT_EQ(doc["failed"], 0);
    const Json& d = doc["devices"][0];
    EXPECT_EQ(d["mac"], kMac1);
    EXPECT_EQ(d["writes"], 1);
    EXPECT_EQ(d["acknowledged"], true);
    ExpectSettings(d["network"], settings, "/network");

    // Read again on its own; an untouched field keeps the factory value.
    const Json again = Confirmed({"net", "get", kMac1})["devices"][0]["network"];
    ExpectSettings(again, settings, "/network");
    EXPECT_EQ(again["server2"]["target-address"], "192.168.0.166");
    // The other device is not touched.
    EXPECT_EQ(Confirmed({"net", "get", kMac2})["devices"][0]["network"]["ip"], "192.168.0.101");
}

TEST_F(Vornikctl, DevSetChangesEveryFieldAndConfirmsItByReadBack)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1", "--reply-0b"}));
    ASSERT_TRUE(sim.Ready());
    const std::vector<Setting> settings = {
        {"server-count=2", "/device/server-count", 2},
        {"terminal-address=0BADCAFE", "/device/terminal-address", "0badcafe"},
        {"login-interval=10", "/device/login-interval", 10},
        {"heartbeat-interval=65535", "/device/heartbeat-interval", 65535},
        {"upload-interval=0", "/device/upload-interval", 0},
        {"work-mode=modbus", "/device/work-mode", "modbus"},
        {"baud=9600", "/device/baud", 9600},
        {"data-bits=7", "/device/data-bits", 7},
        {"parity=even", "/device/parity", "even"},
        {"stop-bits=2", "/device/stop-bits", 2},
        {"modbus-terminal-count=4", "/device/modbus-terminal-count", 4},
        {"channel4.address=247", "/device/channel4/address", 247},
        {"channel4.temp-upper=25.3", "/device/channel4/temp-upper", 25.3},
        {"channel4.temp-lower=-40", "/device/channel4/temp-lower", -40.0},
        {"channel4.humidity-upper=6553.5", "/device/channel4/humidity-upper", 6553.5},
        {"channel4.humidity-lower=0.1", "/device/channel4/humidity-lower", 0.1},
    };
    std::vector<std::string> args{"dev", "set", kMac1};
    for (const Setting& s : settings) args.push_back(s.assignment);
    const Json doc = Confirmed(args);
    ExpectSettings(doc["devices"][0]["device"], settings, "/device");
    const Json again = Confirmed({"dev", "get", kMac1})["devices"][0]["device"];
    ExpectSettings(again, settings, "/device");
    EXPECT_DOUBLE_EQ(again["channel3"]["temp-upper"].get<double>(), 99.9);
}

TEST_F(Vornikctl, DefaultsBringBackTheFactoryValues)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1"}));
    ASSERT_TRUE(sim.Ready());
    Confirmed({"dev", "set", kMac1, "baud=9600"});
    Confirmed({"net", "set", kMac1, "ip=10.0.0.1", "gateway=10.0.0.254"});
    const Json doc = Confirmed({"defaults", kMac1});
    EXPECT_EQ(doc["command"], "defaults");
    const Json& d = doc["devices"][0];
    EXPECT_EQ(d["acknowledged"], true);
    EXPECT_EQ(d["device"]["baud"], 4800);
    EXPECT_EQ(d["network"]["ip"], "192.168.0.100");
}

TEST_F(Vornikctl, MacWriteIsConfirmedByASearchThatFindsTheNewAddress)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "3"}));
    ASSERT_TRUE(sim.Ready());
    const Json doc = Confirmed({"mac", "set", kMac2, "02:5a:c3:00:00:09"});
    EXPECT_EQ(doc["command"], "mac set");
    const Json& d = doc["devices"][0];
    EXPECT_EQ(d["mac"], kMac2);
    EXPECT_EQ(d["found"]["mac"], "02-5A-C3-00-00-09");
    EXPECT_EQ(d["found"]["ip"], "192.168.0.101");

    std::set<std::string> macs;
    const Json search = Confirmed({"search", "--wait", "0.5"});
    for (const Json& f : search["devices"]) macs.insert(f["mac"]);
    EXPECT_EQ(macs, (std::set<std::string>{kMac1, "02-5A-C3-00-00-09", kMac3}));

    // A MAC another device answers with is refused before anything is written.
    const RunResult taken = Ctl({"mac", "set", kMac1, kMac3});
    EXPECT_EQ(taken.exitCode, 1);
    EXPECT_NE(Doc(taken)["devices"][0]["error"].get<std::string>().find("already answers"), std::string::npos);
    EXPECT_EQ(Confirmed({"net", "get", kMac1})["devices"][0]["ok"], true);
}

// Two devices that answer with one MAC would both take a write meant for one.
TEST_F(Vornikctl, ACommandOnAMacTwoDevicesShareIsRefusedNamingBoth)
{
    SimProcess fleet(LoopbackSimArgs(port, {"--devices", "2"}));
    SimProcess sameMac(LoopbackSimArgs(port, {"--base-mac", kMac1, "--base-ip", "10.0.0.9"}));
    ASSERT_TRUE(fleet.Ready() && sameMac.Ready());
    for (const auto& args : std::vector<std::vector<std::string>>{{"net", "set", kMac1, "ip=10.0.0.50"},
                                                                  {"dev", "set", kMac1, "baud=9600"},
                                                                  {"mac", "set", kMac1, "02-5A-C3-00-00-0B"},
                                                                  {"defaults", kMac2, kMac1, "--allow-unconfirmed"}}) {
        const RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, 1) << args[0] << r.out << r.err;
        const Json doc = Doc(r);
        const Json refused = doc["devices"].back(); // a MAC no other device shares is still acted on
        EXPECT_EQ(doc["confirmed"], doc["devices"].size() - 1) << r.out;
        EXPECT_EQ(refused["mac"], kMac1);
        for (const char* part : {"192.168.0.100", "10.0.0.9", "--all-with-mac"})
            EXPECT_NE(refused.value("error", "").find(part), std::string::npos) << args[0] << ": " << refused;
    }
    // Neither device took the address, the MAC or the baud rate.
    const Json search = Confirmed({"search", "--wait", "0.3"});
    std::set<std::string> seen;
    for (const Json& f : search["devices"]) seen.insert(f["mac"].get<std::string>() + " " + f["ip"].get<std::string>());
    EXPECT_EQ(seen, (std::set<std::string>{kMac1 + " 192.168.0.100", kMac1 + " 10.0.0.9", kMac2 + " 192.168.0.101"}));
    EXPECT_EQ(Confirmed({"dev", "get", kMac1})["devices"][0]["device"]["baud"], 4800);
    Confirmed({"dev", "set", kMac1, "baud=9600", "--all-with-mac"});
}

TEST_F(Vornikctl, ExportThenApplyClonesOneDeviceOntoThreeOthers)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "5"}));
    ASSERT_TRUE(sim.Ready());
    Confirmed({"net", "set", kMac1, "ip=192.168.0.50", "mask=255.255.0.0", "server3.target-address=10.0.0.5",
               "server3.target-port=4001", "max-connections=2"});
    Confirmed({"dev", "set", kMac1, "channel4.temp-upper=25.3", "baud=9600", "parity=even",
               "terminal-address=0badcafe"});
    const std::string file = TempFile("clone.json");
    const Json exported = Confirmed({"export", kMac1, file});
    EXPECT_EQ(exported["file"], file);

    std::ifstream in(file);
    const Json saved = Json::parse(in);
    EXPECT_EQ(saved["format"], "vornik-settings");
    EXPECT_EQ(saved["version"], 1);
    EXPECT_EQ(saved["source"]["mac"], kMac1);
    EXPECT_EQ(saved["network"]["ip"], "192.168.0.50");
    EXPECT_EQ(saved["network"]["server3"]["target-address"], "10.0.0.5");
    EXPECT_EQ(saved["network"]["server3"]["target-port"], 4001);
    EXPECT_DOUBLE_EQ(saved["device"]["channel4"]["temp-upper"].get<double>(), 25.3);
    EXPECT_EQ(saved["device"]["terminal-address"], "0badcafe");

    const Json applied = Confirmed({"apply", file, kMac2, kMac3, kMac4});
    EXPECT_EQ(applied["confirmed"], 3);
    ASSERT_EQ(applied["devices"].size(), 3u);
    for (int n = 2; n <= 4; ++n) {
        const std::string mac = "02-00-00-00-00-0" + std::to_string(n);
        const Json net = Confirmed({"net", "get", mac})["devices"][0]["network"];
        const Json dev = Confirmed({"dev", "get", mac})["devices"][0]["device"];
        // Everything but the device's own address and terminal address is the source's.
        EXPECT_EQ(net["ip"], "192.168.0.10" + std::to_string(n - 1)) << mac;
        EXPECT_EQ(dev["terminal-address"], "12345678") << mac;
        Json expectNet = saved["network"], gotNet = net;
        expectNet.erase("ip");
        gotNet.erase("ip");
        EXPECT_EQ(gotNet, expectNet) << mac;
        Json expectDev = saved["device"], gotDev = dev;
        expectDev.erase("terminal-address");
        gotDev.erase("terminal-address");
        EXPECT_EQ(gotDev, expectDev) << mac;
    }
    // The fifth device was not named and keeps its factory values.
    EXPECT_EQ(Confirmed({"dev", "get", kMac5})["devices"][0]["device"]["baud"], 4800);
}

TEST_F(Vornikctl, ALimitBelowZeroFromAFileReachesTheDeviceAndExportsToStdout)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1"}));
    ASSERT_TRUE(sim.Ready());
    const std::string file = TempFile("below-zero.json");
    std::ofstream(file) << R"({"format": "vornik-settings", "version": 1, "device": {"channel2": {"temp-lower": -0.5}}})";
    Confirmed({"apply", file, kMac1});
    // "-" is stdout, and stdout is then the settings file alone; --force replaces a file.
    const RunResult r = Ctl({"export", kMac1, "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Doc(r)["source"]["mac"], kMac1);
    EXPECT_EQ(Doc(r)["device"]["channel2"]["temp-lower"], -0.5);
    Confirmed({"export", kMac1, file, "--force"});
    std::ifstream in(file);
    EXPECT_EQ(Json::parse(in)["device"]["channel2"]["temp-lower"], -0.5);
}

TEST_F(Vornikctl, ApplyAllWritesAPartOfAFileToEveryDeviceFound)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "6"}));
    ASSERT_TRUE(sim.Ready());
    const std::string file = TempFile("part.json");
    std::ofstream(file) << R"({
      // one server and one limit, nothing else
      "format": "vornik-settings", "version": 1,
      "network": {"server2": {"target-address": "203.0.113.7"}},
      "device": {"channel1": {"humidity-upper": 85}}
    })";
    const Json doc = Confirmed({"apply", file, "--all", "--wait", "0.5"});
    EXPECT_EQ(doc["confirmed"], 6);
    for (const Json& d : doc["devices"]) {
        EXPECT_EQ(d["network"]["server2"]["target-address"], "203.0.113.7");
        EXPECT_EQ(d["network"]["server1"]["target-address"], "192.168.0.166");
        EXPECT_DOUBLE_EQ(d["device"]["channel1"]["humidity-upper"].get<double>(), 85.0);
    }
}

TEST_F(Vornikctl, ADeviceThatNeverAnswersIsReportedByNameAfterItsTries)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1", "--drop", "1"}));
    ASSERT_TRUE(sim.Ready());
    const RunResult r = Ctl({"net", "get", kMac1}, {"--tries", "2"});
    EXPECT_EQ(r.exitCode, 1);
    const Json doc = Doc(r);
    EXPECT_EQ(doc["ok"], false);
    EXPECT_EQ(doc["failed"], 1);
    const Json& d = doc["devices"][0];
    EXPECT_EQ(d["mac"], kMac1);
    EXPECT_EQ(d["ok"], false);
    EXPECT_NE(d["error"].get<std::string>().find("no reply to the network read (2 tries)"), std::string::npos)
        << d["error"];
    EXPECT_LT(r.took, 10s);

    // A write to it is never reported as done.
    const RunResult write = Ctl({"dev", "set", kMac1, "baud=9600"});
    EXPECT_EQ(write.exitCode, 1);
    EXPECT_EQ(Doc(write)["confirmed"], 0);
}

TEST_F(Vornikctl, ACorruptedReplyIsNotTakenForAnAnswer)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1", "--corrupt-crc", "1"}));
    ASSERT_TRUE(sim.Ready());
    const RunResult r = Ctl({"dev", "get", kMac1});
    EXPECT_EQ(r.exitCode, 1);
    const std::string error = Doc(r)["devices"][0]["error"];
    EXPECT_NE(error.find("no reply to the device read (3 tries)"), std::string::npos) << error;
    EXPECT_NE(error.find("3 reply(ies) failed their check"), std::string::npos) << error;
    // The network block carries no CRC and still reads.
    Confirmed({"net", "get", kMac1});
}

// A device that acknowledges every network write but keeps its block as it
// was, as one with a write-protected memory would.
class StubbornDevice {
public:
    // `readsAnswered`: how many network reads it answers before it falls silent to them.
    StubbornDevice(uint16_t port, vornik::MacAddress mac, int readsAnswered = 1000)
        : m_port(port), m_mac(mac), m_readsLeft(readsAnswered), m_deviceReadsLeft(readsAnswered)
    {
        m_fd = OpenPortSocket(port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~StubbornDevice()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    int Writes() const { return m_writes; }

private:
    void Serve()
    {
        vornik::NetworkParams block;
        block.ipMode = vornik::IP_MODE_STATIC;
        block.ipAddress = 0xC0A80009;
        block.subnetMask = 0xFFFFFF00;
        block.maxConnections = 8;
        const auto image = vornik::EncodeNetworkParams(block);
        std::vector<uint8_t> payload(m_mac.begin(), m_mac.end());
        payload.insert(payload.end(), image.begin(), image.end());
        const vornik::Frame readReply = vornik::BuildReply(vornik::CMD_READ_NETWORK, uint16_t(1 + payload.size()), payload);
        const vornik::Frame writeAck = vornik::BuildReply(vornik::CMD_WRITE_NETWORK, 7, m_mac);
        std::vector<uint8_t> devicePayload(m_mac.begin(), m_mac.end());
        for (const uint8_t b : vornik::test::Hex(std::string("7E 10 ") + vornik::test::kStartupBlock + " " + vornik::test::kStartupReadCrc)) devicePayload.push_back(b);
        const vornik::Frame deviceReply =
            vornik::BuildReply(vornik::CMD_DEVICE_PARAMS_REPLY, uint16_t(devicePayload.size() - 6), devicePayload);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(m_port);
        to.sin_addr.s_addr = htonl(LOOPBACK_BROADCAST);
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) != 1) continue;
            uint8_t buf[2048];
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n < 11 || buf[0] != vornik::FRAME_REQUEST || !std::equal(m_mac.begin(), m_mac.end(), buf + 4)) continue;
            const vornik::Frame* reply = nullptr;
            if (buf[3] == vornik::CMD_READ_NETWORK && m_readsLeft-- > 0) reply = &readReply;
            // A device-parameter read (inner function 0x10) is answered as
            // often as a network read; a device write is never acknowledged.
            if (buf[3] == vornik::CMD_DEVICE_PARAMS && n > 11 && buf[11] == 0x10 && m_deviceReadsLeft-- > 0)
                reply = &deviceReply;
            if (buf[3] == vornik::CMD_WRITE_NETWORK) {
                reply = &writeAck;
                ++m_writes;
            }
            if (reply)
                ::sendto(m_fd, reply->data(), reply->size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        }
    }

    uint16_t m_port;
    vornik::MacAddress m_mac;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_writes{0};
    int m_readsLeft;
    int m_deviceReadsLeft;
    std::thread m_thread;
};

TEST_F(Vornikctl, AWriteTheReadBackDoesNotShowIsAnErrorListingTheFields)
{
    StubbornDevice device(port, {0x02, 0x5A, 0xC3, 0x00, 0x00, 0x42});
    const RunResult r = Ctl({"net", "set", "02-5A-C3-00-00-42", "max-connections=3", "server2.target-port=4002"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    const Json doc = Doc(r);
    EXPECT_EQ(doc["confirmed"], 0);
    const Json& d = doc["devices"][0];
    EXPECT_EQ(d["ok"], false);
    EXPECT_EQ(d["acknowledged"], true);
    // Written again each round, up to the tries.
    EXPECT_EQ(d["writes"], 3);
    EXPECT_EQ(device.Writes(), 3);
    ASSERT_EQ(d["differences"].size(), 2u) << d.dump(1);
    EXPECT_EQ(d["differences"][0], (Json{{"field", "max-connections"}, {"written", "3"}, {"read", "8"}}));
    EXPECT_EQ(d["differences"][1], (Json{{"field", "server2.target-port"}, {"written", "4002"}, {"read", "0"}}));
    const std::string error = d["error"];
    EXPECT_NE(error.find("read-back differs"), std::string::npos) << error;
    EXPECT_NE(error.find("max-connections, server2.target-port"), std::string::npos) << error;
}

TEST_F(Vornikctl, AnAcknowledgedWriteWhoseReadBackIsMissingIsWrittenNotConfirmed)
{
    StubbornDevice device(port, {0x02, 0x5A, 0xC3, 0x00, 0x00, 0x43}, 2); // the read and its check
    const RunResult r = Ctl({"net", "set", "02-5A-C3-00-00-43", "max-connections=3"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_EQ(Doc(r)["devices"][0]["result"], "written, not confirmed") << r.out;
}

// Both blocks written, only the network write acknowledged, no read-back: the
// device's word covers half the write, so nothing is "written".
TEST_F(Vornikctl, AnAcknowledgementOfOneBlockOfTwoIsNoWordForTheWrite)
{
    StubbornDevice device(port, {0x02, 0x5A, 0xC3, 0x00, 0x00, 0x44}, 2); // the read and its check
    const std::string file = TempFile("both.json");
    std::ofstream(file) << R"({"format": "vornik-settings", "version": 1,
                               "network": {"max-connections": 3}, "device": {"baud": 9600}})";
    const RunResult r = Ctl({"apply", file, "02-5A-C3-00-00-44"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    const Json doc = Doc(r);
    const Json& d = doc["devices"][0];
    EXPECT_EQ(d["result"], "not confirmed") << r.out;
    EXPECT_EQ(d["acknowledged"], false) << r.out;
    EXPECT_GE(device.Writes(), 1);
}

// What each command may claim, with and without the acknowledgements the
// protocol does not promise: only a read-back (or a search) confirms, an
// acknowledgement is the device's word and is never waited for, and one
// silent device fails the run.
TEST_F(Vornikctl, AResultSaysWhatIsKnownAndNoMore)
{
    struct Row {
        std::vector<std::string> sim, before, args;
        std::vector<std::pair<std::string, std::string>> results; // MAC, result
        std::string acknowledged;                                  // "", "true", "false"
    };
    const std::string mac9 = "02-5A-C3-00-00-09";
    const std::vector<Row> rows = {
        {{}, {}, {"net", "set", kMac1, "max-connections=3"}, {{kMac1, "confirmed"}}, "true"},
        {{"--no-ack"}, {}, {"net", "set", kMac1, "max-connections=3"}, {{kMac1, "confirmed"}}, "false"},
        {{"--no-ack"}, {}, {"dev", "set", kMac1, "baud=9600"}, {{kMac1, "confirmed"}}, "true"},
        {{"--no-ack"}, {"net", "set", kMac1, "ip=10.0.0.7", "gateway=10.0.0.254"}, {"defaults", kMac1}, {{kMac1, "confirmed"}}, "false"},
        {{"--no-ack"}, {}, {"mac", "set", kMac1, mac9}, {{kMac1, "confirmed"}}, "false"},
        {{}, {}, {"mac", "set", kMac1, mac9}, {{kMac1, "confirmed"}}, "true"},
        {{"--store-nothing"}, {}, {"net", "set", kMac1, "max-connections=3"}, {{kMac1, "not confirmed"}}, ""},
        {{"--store-nothing"}, {}, {"dev", "set", kMac1, "baud=9600"}, {{kMac1, "not confirmed"}}, ""},
        {{"--store-nothing"}, {}, {"mac", "set", kMac1, mac9}, {{kMac1, "written, not confirmed"}}, ""},
        // Already at the factory values, the reset changes nothing: only the
        // acknowledgement speaks for it.
        // ... which is no "done" unless the caller says it will take that word.
        {{}, {}, {"defaults", kMac1}, {{kMac1, "acknowledged"}}, ""},
        {{}, {}, {"defaults", kMac1, "--allow-unconfirmed"}, {{kMac1, "acknowledged"}}, ""},
        {{"--no-ack"}, {}, {"defaults", kMac1}, {{kMac1, "not confirmed"}}, ""},
        {{}, {}, {"dev", "get", kMac1, kMac5}, {{kMac1, "read"}, {kMac5, "no reply"}}, ""},
        {{}, {}, {"defaults", kMac5, kMac1}, {{kMac5, "not written"}, {kMac1, "acknowledged"}}, ""},
    };
    for (const Row& row : rows) {
        std::vector<std::string> simArgs{"--devices", "1"};
        simArgs.insert(simArgs.end(), row.sim.begin(), row.sim.end());
        std::string shown = testing::PrintToString(simArgs) + " " + testing::PrintToString(row.args);
        SimProcess sim(LoopbackSimArgs(port, simArgs));
        ASSERT_TRUE(sim.Ready());
        if (!row.before.empty()) Confirmed(row.before);
        const RunResult r = Ctl(row.args, {"--tries", "5"});
        const bool acknowledgementTaken =
            std::find(row.args.begin(), row.args.end(), "--allow-unconfirmed") != row.args.end();
        const bool ok = std::all_of(row.results.begin(), row.results.end(), [&](const auto& x) {
            return x.second == "confirmed" || x.second == "read" || (x.second == "acknowledged" && acknowledgementTaken);
        });
        EXPECT_EQ(r.exitCode, ok ? 0 : 1) << shown << r.out << r.err;
        // Waiting for an answer that never comes would take the 5 tries of 0.2 s.
        if (ok) EXPECT_LT(r.took, 900ms) << shown;
        const Json doc = Doc(r);
        ASSERT_EQ(doc["devices"].size(), row.results.size()) << shown << r.out;
        for (const Json& d : doc["devices"]) {
            const auto want = std::find_if(row.results.begin(), row.results.end(), [&](const auto& x) { return d["mac"] == x.first; });
            ASSERT_NE(want, row.results.end()) << shown << d;
            EXPECT_EQ(d["result"], want->second) << shown << d;
        }
        if (!row.acknowledged.empty()) EXPECT_EQ(doc["devices"][0]["acknowledged"], row.acknowledged == "true") << shown;
        if (row.args[0] == "defaults") { // the table a person reads claims no more than the JSON
            const std::string table = TableOf(row.args);
            EXPECT_EQ(table.find("by read-back"), std::string::npos) << shown << table;
            EXPECT_NE(table.find(row.results.back().second), std::string::npos) << shown << table;
        }
    }
}

struct BadInput {
    std::vector<std::string> args;
    std::vector<std::string> says; // parts of the message: the field and what it accepts
};

TEST_F(Vornikctl, BadInputIsRefusedWithTheFieldAndRangeAndNothingIsSent)
{
    Listener listener(port);
    ASSERT_TRUE(listener.Bound());
    const std::string badFile = TempFile("bad.json");
    std::ofstream(badFile) << "{\"format\": \"vornik-settings\", \"version\": 1, \"network\": {\"ip\": 192.168.0.1}}";
    const std::string outOfRange = TempFile("range.json");
    std::ofstream(outOfRange) << R"({"format": "vornik-settings", "version": 1, "device": {"channel2": {"temp-lower": -3300}}})";
    const std::string tooLarge = TempFile("too-large.json");
    std::ofstream(tooLarge) << R"({"format": "vornik-settings", "version": 1, "device": {"baud": 1e400}})";
    const std::string twice = TempFile("twice.json");
    std::ofstream(twice) << R"({"format": "vornik-settings", "version": 1, "device": {"baud": 9600, "baud": 4800}})";
    const std::string halfDone = TempFile("half.json");
    std::ofstream(halfDone) << R"({"format": "vornik-settings", "version": 1, "device": {"baud": 96)";
    const std::string existing = TempFile("existing.json");
    std::ofstream(existing) << "kept";
    const std::string valid = TempFile("valid.json");
    std::ofstream(valid) << R"({"format": "vornik-settings", "version": 1, "device": {"baud": 9600}})";
    const std::string twoSpellings = TempFile("two-spellings.json");
    std::ofstream(twoSpellings) << R"({"format": "vornik-settings", "version": 1,
        "network": {"server3": {"target-port": 1}, "server3.target-port": 2}})";
    const std::string openQuote = TempFile("open-quote.csv");
    std::ofstream(openQuote) << "mac,ip\n\"02-00-00-00-00-01,192.168.0.9\n";
    const std::string afterQuote = TempFile("after-quote.csv");
    std::ofstream(afterQuote) << "mac,ip\n\"02-00-00-00-00-01\"x,192.168.0.9\n";
    const std::vector<BadInput> cases = {
        {{"net", "set", kMac1, "ip=192.168.0.256"}, {"ip", "four numbers 0-255"}},
        {{"net", "set", kMac1, "gateway=10.0.0"}, {"gateway", "four numbers 0-255"}},
        {{"net", "set", kMac1, "server3.target-port=65536"}, {"server3.target-port", "0 to 65535"}},
        {{"net", "set", kMac1, "ip=10.0.0.1", "colour=red"}, {"colour", "unknown network field"}},
        {{"net", "get", "02-00-00-00-00"}, {"MAC", "six hex pairs"}},
        {{"dev", "set", "02-00-00-00-00-0G", "baud=9600"}, {"MAC", "six hex pairs"}},
        {{"dev", "set", kMac1, "channel4.temp-upper=3276.8"}, {"channel4.temp-upper", "-3276.8 to 3276.7"}},
        {{"dev", "set", kMac1, "channel4.humidity-lower=6553.6"}, {"channel4.humidity-lower", "0.0 to 6553.5"}},
        {{"dev", "set", kMac1, "parity=mark"}, {"parity", "none, odd or even"}},
        {{"dev", "set", kMac1, "ip=10.0.0.1"}, {"ip", "it is a network field"}},
        {{"mac", "set", kMac1, "02-00-00-00-00"}, {"NEW-MAC", "six hex pairs"}},
        {{"mac", "set", kMac1, "FF-FF-FF-FF-FF-FF"}, {"NEW-MAC", "broadcast"}},
        {{"mac", "set", kMac1, "00:00:00:00:00:00"}, {"NEW-MAC", "all zero"}},
        {{"mac", "set", kMac1, "01-00-5E-00-00-01"}, {"NEW-MAC", "multicast", "first byte odd"}},
        {{"mac", "set", kMac1, "FD-00-00-00-00-01"}, {"NEW-MAC", "multicast"}},
        {{"apply", badFile, kMac1}, {"not valid JSON", "line 1"}},
        {{"apply", outOfRange, kMac1}, {"device.channel2.temp-lower", "-3276.8 to 3276.7"}},
        {{"apply", badFile}, {"not valid JSON"}},
        {{"apply", tooLarge, kMac1}, {"device.baud", "too large"}},
        {{"apply", twice, kMac1}, {"device.baud", "given twice"}},
        {{"apply", halfDone, kMac1}, {"not valid JSON"}},
        {{"apply", "/dev/zero", kMac1}, {"/dev/zero", "not a regular file"}},
        {{"net", "set", kMac1, "ip=10.0.0.1", "ip=10.0.0.2"}, {"ip", "given twice"}},
        {{"dev", "set", kMac1, "baud=9600", "channel1.address=3", "baud=9600"}, {"baud", "given twice"}},
        {{"dev", "set", kMac1, "modbus-terminal-count=256"}, {"modbus-terminal-count", "0 to 255"}},
        {{"export", kMac1, existing}, {existing, "--force"}},
        {{"--bind", "127.0.0.300", "search"}, {"--bind", "four numbers 0-255"}},
        {{"--tries", "0", "search"}, {"--tries", "1-100"}},
        {{"apply", twoSpellings, kMac1}, {"network.server3.target-port", "given twice"}},
        {{"apply", valid, "--identities", openQuote}, {"line 2", "not closed"}},
        {{"apply", valid, "--identities", afterQuote}, {"line 2", "after a quoted value"}},
        {{"search", "--expect", "-1"}, {"--expect", "'-1' must be a whole number"}},
        {{"apply", valid, "--all", "--expect", "-3"}, {"--expect", "whole number"}},
        {{"net", "get", "02:00-00:00-00:01"}, {"MAC", "six hex pairs"}},
        {{"net", "get", "02-00:00-00-00-01"}, {"MAC", "six hex pairs"}},
        {{"frobnicate", kMac1}, {"unknown command 'frobnicate'", "search", "apply", "replace"}},
    };
    for (const BadInput& c : cases) {
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        const RunResult r = Ctl(c.args);
        EXPECT_EQ(r.exitCode, 2) << shown << r.out << r.err;
        const Json doc = Doc(r);
        EXPECT_EQ(doc["ok"], false) << shown;
        const std::string message = doc["error"]["message"];
        for (const auto& part : c.says) EXPECT_NE(message.find(part), std::string::npos) << shown << ": " << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << "stderr names the error too: " << r.err;
    }
    EXPECT_EQ(listener.During(300ms).size(), 0u) << "bad input must send nothing";
    std::ifstream kept(existing);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");

    // The listener does hear what the program sends.
    EXPECT_EQ(Ctl({"search", "--wait", "0.1"}).exitCode, 0);
    EXPECT_GE(listener.During(300ms).size(), 1u);
}

TEST_F(Vornikctl, UnknownCommandIsBadUsage)
{
    const RunResult r = Ctl({"reboot", kMac1});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(Doc(r)["ok"], false);
}

// Old values are the simulator's factory ones; a silent device or one that stores nothing still fails.
TEST_F(Vornikctl, AWriteComparesWithWhatTheDeviceHoldsAndAPreviewWritesNothing)
{
    struct Row { std::string name; std::vector<std::string> sim, before, args, results; std::string changes; int changed, unchanged; };
    const std::string file = TempFile("preview.json");
    std::ofstream(file) << R"({"format": "vornik-settings", "version": 1, "device": {"baud": 9600, "channel2": {"temp-lower": -0.5}}})";
    const std::string baud = R"([{"field": "baud", "old": 4800, "new": 9600}])", none = "[]",
                      both = R"([{"field": "baud", "old": 4800, "new": 9600}, {"field": "channel2.temp-lower", "old": 0.0, "new": -0.5}])";
    const std::vector<std::string> set{"dev", "set", kMac1, "baud=9600"}, preview{"dev", "set", kMac1, "baud=9600", "--dry-run"};
    const std::vector<Row> rows = {
        {"a preview lists old and new", {}, {}, preview, {"would change"}, baud, 0, 0},
        {"a write lists what it changed", {}, {}, set, {"confirmed"}, baud, 1, 0},
        {"the same write again is skipped", {}, set, set, {"unchanged"}, none, 0, 1},
        {"a preview of values held", {}, set, preview, {"unchanged"}, none, 0, 1},
        {"a file's -0.5 stays -0.5", {}, {}, {"apply", file, kMac1, "--dry-run"}, {"would change"}, both, 0, 0},
        {"apply twice writes nothing", {}, {"apply", file, kMac1}, {"apply", file, kMac1}, {"unchanged"}, none, 0, 1},
        {"one silent device fails a preview", {}, {}, {"apply", file, kMac1, kMac5, "--dry-run"}, {"would change", "not written"}, both, 0, 0},
        {"a device that stores nothing", {"--store-nothing"}, {}, set, {"not confirmed"}, baud, 0, 0},
        {"it holds the value already", {"--store-nothing"}, {}, {"dev", "set", kMac1, "baud=4800"}, {"unchanged"}, none, 0, 1},
        {"a reset preview", {}, {}, {"defaults", kMac1, "--dry-run"}, {"would change"}, none, 0, 0},
        {"a reset lists what it changed", {}, set, {"defaults", kMac1}, {"confirmed"}, R"([{"field": "baud", "old": 9600, "new": 4800}])", 1, 0},
    };
    for (const Row& row : rows) {
        SimProcess sim(LoopbackSimArgs(port, row.sim.empty() ? std::vector<std::string>{"--devices", "1"} : row.sim));
        ASSERT_TRUE(sim.Ready());
        if (!row.before.empty()) Confirmed(row.before);
        const Json held = Doc(Ctl({"dev", "get", kMac1}))["devices"][0]["device"];
        const RunResult r = Ctl(row.args);
        const Json doc = Doc(r);
        EXPECT_EQ(r.exitCode, row.results.back().rfind("not ", 0) == 0 ? 1 : 0) << row.name << r.out << r.err;
        ASSERT_EQ(doc["devices"].size(), row.results.size()) << row.name;
        for (size_t k = 0; k < row.results.size(); ++k) EXPECT_EQ(doc["devices"][k]["result"], row.results[k]) << row.name;
        EXPECT_EQ(doc["devices"][0]["changes"], Json::parse(row.changes)) << row.name;
        EXPECT_EQ((Json{doc["changed"], doc["unchanged"]}), (Json{row.changed, row.unchanged})) << row.name;
        EXPECT_EQ(doc.value("dry-run", false), row.args.back() == "--dry-run") << row.name;
        if (row.args.back() == "--dry-run" || row.results[0] == "unchanged") {
            EXPECT_FALSE(doc["devices"][0].contains("writes")) << row.name;
            EXPECT_EQ(Doc(Ctl({"dev", "get", kMac1}))["devices"][0]["device"], held) << row.name;
        }
    }
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1"}));
    ASSERT_TRUE(sim.Ready());
    EXPECT_NE(TableOf(preview).find("baud: 4800 -> 9600"), std::string::npos);
}

// A bad list is refused before anything is sent (2), a listed device that does not answer stops the
// run (1); no device changes then. The devices hold 192.168.0.100-102/24, gateway 192.168.0.1.
TEST_F(Vornikctl, ApplyGivesEachDeviceItsOwnAddressOrNoneAtAll)
{
    struct Row { std::string name, csv; std::vector<std::string> args; int exitCode; std::vector<std::string> ips; std::string says; };
    const std::string file = TempFile("common.json"), csv = TempFile("devices.csv"), m1 = kMac1 + ",", m2 = kMac2 + ",";
    std::ofstream(file) << R"({"format": "vornik-settings", "version": 1, "network": {"ip": "10.9.9.9", "mask": "255.255.255.0"}, "device": {"baud": 9600}})";
    const std::vector<std::string> factory{"192.168.0.100", "192.168.0.101", "192.168.0.102"}, list{"--identities", csv};
    const std::vector<Row> rows = {
        {"two devices from a list", "mac,ip,terminal-address\n02:00:00:00:00:02,192.168.0.52,0000000C\n" + m1 + "192.168.0.51,0000000B\n", list, 0,
         {"192.168.0.51", "192.168.0.52", "192.168.0.102"}, ""},
        // As a spreadsheet saves it: a byte-order mark, cells in quotes, a space before one, CRLF.
        {"a spreadsheet's CSV", "\xEF\xBB\xBF\"mac\",\"ip\"\r\n\"" + kMac1 + "\", \"192.168.0.51\"\r\n\"" + kMac2 +
         "\",\"192.168.0.52\"\r\n", list, 0, {"192.168.0.51", "192.168.0.52", "192.168.0.102"}, ""},
        {"a MAC twice", "mac,ip\n" + m1 + "192.168.0.51\n020000000001,192.168.0.52\n", list, 2, factory, "given twice"},
        {"an ip twice", "mac,ip\n" + m1 + "192.168.0.51\n" + m2 + "192.168.0.51\n", list, 2, factory, "given twice"},
        {"the subnet's broadcast address", "mac,ip\n" + m1 + "192.168.0.255\n", list, 2, factory, "broadcast"},
        {"a line's mask puts the gateway outside", "mac,ip,mask,gateway\n" + m1 + "192.168.0.51,255.255.255.128,192.168.0.129\n", list, 2, factory, "outside"},
        {"a line short of a value", "mac,ip,terminal-address\n" + m1 + "192.168.0.51\n", list, 2, factory, "line 2"},
        {"no mac column first", "ip,mac\n192.168.0.51," + kMac1 + "\n", list, 2, factory, "mac first"},
        {"one listed device silent", "mac,ip\n" + m1 + "192.168.0.51\n" + kMac5 + ",192.168.0.55\n", list, 1, factory, ""},
        {"numbered in MAC order", "", {kMac3, kMac1, "--ip-from", "192.168.0.200"}, 0, {"192.168.0.200", "192.168.0.101", "192.168.0.201"}, ""},
        {"numbered past the subnet's end", "", {"--all", "--ip-from", "192.168.0.253", "--wait", "0.3"}, 2, factory, "broadcast"},
        {"numbered onto another device's address", "", {kMac1, "--ip-from", "192.168.0.102"}, 1, factory, ""},
        // An address another device of the same plan gives up is free.
        {"two devices swap their addresses", "mac,ip\n" + m1 + "192.168.0.101\n" + m2 + "192.168.0.100\n", list, 0,
         {"192.168.0.101", "192.168.0.100", "192.168.0.102"}, ""},
        {"the fleet shifted by one inside its range", "", {kMac1, kMac2, kMac3, "--ip-from", "192.168.0.101"}, 0,
         {"192.168.0.101", "192.168.0.102", "192.168.0.103"}, ""},
        {"numbered, the second address taken: neither written", "", {kMac2, kMac3, "--ip-from", "192.168.0.99"}, 1, factory, ""},
    };
    for (const Row& row : rows) {
        SimProcess sim(LoopbackSimArgs(port, {"--devices", "3"}));
        ASSERT_TRUE(sim.Ready());
        std::ofstream(csv, std::ios::trunc) << row.csv;
        std::vector<std::string> args{"apply", file};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, row.exitCode) << row.name << r.out << r.err;
        EXPECT_NE(r.err.find(row.says), std::string::npos) << row.name << r.err;
        for (size_t k = 0; k < 3; ++k) {
            const Json got = Doc(Ctl({"dev", "get", "02-00-00-00-00-0" + std::to_string(k + 1)}))["devices"][0];
            EXPECT_EQ(Doc(Ctl({"net", "get", got["mac"]}))["devices"][0]["network"]["ip"], row.ips[k]) << row.name << k;
            if (row.exitCode) { EXPECT_EQ(got["device"]["baud"], 4800) << row.name; }
        }
    }
}

// Unless --force; device 2 answers with 192.168.0.101.
TEST_F(Vornikctl, NetSetRefusesAnAddressThatClashesOrCannotWork)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = { // assignments, refusal ("" none)
        {{"ip=192.168.0.101"}, "02-00-00-00-00-02 already answers with 192.168.0.101"}, {{"mask=255.0.255.0"}, "mask 255.0.255.0"},
        {{"mask=255.255.255.254"}, "gateway 192.168.0.1 is outside"}, {{"gateway=192.168.1.1"}, "gateway 192.168.1.1 is outside"},
        {{"ip=192.168.0.0"}, "network address"}, {{"ip=192.168.0.255"}, "broadcast address"},
        {{"ip=192.168.0.2", "mask=255.255.255.252"}, ""}, {{"mask=0.0.0.0"}, "mask 0.0.0.0 leaves no network part"}, {{"mode=dhcp", "ip=0.0.0.0", "gateway=0.0.0.0"}, ""},
    };
    for (const bool force : {false, true})
        for (const auto& [assignments, refusal] : rows) {
            SimProcess sim(LoopbackSimArgs(port, {"--devices", "2"}));
            ASSERT_TRUE(sim.Ready());
            std::vector<std::string> args{"net", "set", kMac1};
            args.insert(args.end(), assignments.begin(), assignments.end());
            if (force) args.push_back("--force");
            const RunResult r = Ctl(args);
            const bool refused = !force && !refusal.empty();
            EXPECT_EQ(r.exitCode, refused ? 1 : 0) << testing::PrintToString(args) << r.out << r.err;
            const Json d = Doc(r)["devices"][0];
            EXPECT_EQ(d["result"], refused ? "not written" : "confirmed") << d;
            if (refused) { EXPECT_NE(d["error"].get<std::string>().find(refusal), std::string::npos) << d["error"]; }
        }
}

// A real SIGINT 0.5 s after a stage begins: device 9 answers 4 s late, requests go again every 3 s,
// so no late answer lands near it.
TEST_F(Vornikctl, CtrlCInABatchReportsWhatWasDoneSoFar)
{
    struct Row { std::string stage, fast, slow; int baud; };
    const std::string mac9 = "02-00-00-00-00-09", file = TempFile("interrupted.json");
    std::ofstream(file) << R"({"format": "vornik-settings", "version": 1, "device": {"baud": 9600}})";
    for (const Row& row : std::vector<Row>{{"write, round 1", "confirmed", "not confirmed", 9600},
                                           {"read: 3 device(s)", "not written", "not written", 4800}}) {
        SimProcess fleet(LoopbackSimArgs(port, {"--devices", "2"}));
        SimProcess late(LoopbackSimArgs(port, {"--base-mac", mac9, "--base-ip", "192.168.0.9", "--delay", "1", "--delay-ms", "4000"}));
        ASSERT_TRUE(fleet.Ready() && late.Ready());
        std::vector<std::string> args{"--port", std::to_string(port), "--broadcast", "127.255.255.255", "--bind", "127.0.0.2",
                                      "--interval", "3", "--tries", "20", "--json", "apply", file, kMac1, kMac2, mac9};
        const RunResult r = RunProgram(VORNIKCTL_PATH, args, std::chrono::seconds(30), {}, Interruption{row.stage, 500ms});
        const std::string shown = row.stage + r.out + r.err;
        EXPECT_EQ(r.exitCode, 130) << shown;
        EXPECT_GE(r.afterInterrupt.count(), 0) << shown;
        EXPECT_LT(r.afterInterrupt, 1500ms) << shown << ": Ctrl-C must not wait for the late device";
        std::map<std::string, std::string> results;
        const Json doc = Doc(r);
        EXPECT_TRUE(doc["interrupted"] == true && doc["ok"] == false) << shown;
        for (const Json& d : doc["devices"]) results[d["mac"]] = d["result"];
        EXPECT_NE(doc["devices"][2].value("error", "").find("interrupted"), std::string::npos) << shown;
        EXPECT_EQ(results, (std::map<std::string, std::string>{{kMac1, row.fast}, {kMac2, row.fast}, {mac9, row.slow}})) << shown;
        EXPECT_EQ(Doc(Ctl({"dev", "get", kMac1}))["devices"][0]["device"]["baud"], row.baud) << shown;
    }
}

// A full disk (nothing sent then), or a 1 KiB file size limit that 40 search replies exceed.
TEST_F(Vornikctl, APacketRecordCutShortFailsTheCommand)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "40"}));
    ASSERT_TRUE(sim.Ready());
    const std::string file = TempFile("record.pcap"), ctl = std::string(VORNIKCTL_PATH) + " --json --port " + std::to_string(port) +
                                                              " --broadcast 127.255.255.255 --bind 127.0.0.2 --pcap ";
    for (const auto& [command, says] : std::vector<std::pair<std::string, std::string>>{
             {ctl + "/dev/full dev set " + kMac1 + " baud=9600", "No space left on device"},
             {"ulimit -f 1; " + ctl + file + " search --wait 0.3", "ends early"}}) {
        const RunResult r = RunProgram("/bin/sh", {"-c", "trap '' XFSZ; " + command});
        EXPECT_EQ(r.exitCode, 1) << command << r.out << r.err;
        EXPECT_NE(r.err.find(says), std::string::npos) << command << r.err;
        EXPECT_EQ(Doc(r)["ok"], false) << command;
    }
    EXPECT_EQ(Doc(Ctl({"dev", "get", kMac1}))["devices"][0]["device"]["baud"], 4800) << "nothing may be written";
}

} // namespace

namespace vornik::test {
namespace {

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// What a file held before a command that could not write, or was refused,
// is what it holds after.
TEST_F(Vornikctl, AFileIsReplacedWholeOrNotAtAll)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1"}));
    ASSERT_TRUE(sim.Ready());
    const std::string backup = TempFile("backup.json"), record = TempFile("keep.pcap");
    std::ofstream(backup) << "the previous export";
    std::ofstream(record) << "an earlier record";
    const std::string ctl = std::string(VORNIKCTL_PATH) + " --json --port " + std::to_string(port) +
                            " --broadcast 127.255.255.255 --bind 127.0.0.2 --interval 0.2 ";
    const struct {
        const char* name;
        std::string command;
        int exitCode;
    } rows[] = {
        // The settings file is several KiB, past a 1 KiB limit.
        {"export over a file, past the file size limit", "ulimit -f 1; " + ctl + "export " + kMac1 + " " + backup + " --force", 1},
        {"a typo refused before the record is opened", ctl + "--pcap " + record + " net set " + kMac1 + " ip=300.1.1.1", 2},
    };
    for (const auto& row : rows) {
        const RunResult r = RunProgram("/bin/sh", {"-c", "trap '' XFSZ; " + row.command});
        EXPECT_EQ(r.exitCode, row.exitCode) << row.name << r.out << r.err;
    }
    EXPECT_EQ(Contents(backup), "the previous export");
    EXPECT_EQ(Contents(record), "an earlier record");
    EXPECT_FALSE(std::filesystem::exists(backup + ".part")) << "nothing half written is left beside it";
    // Without the limit it is replaced.
    const RunResult r = Ctl({"export", kMac1, backup, "--force"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(Contents(backup).find("vornik-settings"), std::string::npos);
}

} // namespace
} // namespace vornik::test

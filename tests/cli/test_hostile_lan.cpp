// vornikctl on a LAN it cannot trust: another sender answering for a device,
// a device that answers only some reads, clones that share a MAC and an
// address. Whatever the LAN says, no device may be written from a block that
// is not its own, and no write may reach a device the command did not mean.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>
#include <fstream>
#include <map>
#include <memory>

#include <sys/stat.h>

#include "forger.h"
#include "proto/net_params.h"
#include "udp_listener.h"
#include "vornikctl_fixture.h"

namespace vornik::test {
namespace {

const MacAddress kDevice1{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

// The network read requests (AA .. 03) among what was heard.
int NetworkReads(const std::vector<Listener::Received>& heard)
{
    int reads = 0;
    for (const auto& d : heard) reads += d.bytes.size() >= 4 && d.bytes[0] == 0xAA && d.bytes[3] == 0x03;
    return reads;
}

class HostileLan : public Vornikctl {
protected:
    // With `baud` the file changes the device block as well, so the write reads both blocks.
    std::string PortFile(int targetPort, int baud = 0)
    {
        const std::string file = TempFile("port.json");
        std::ofstream out(file);
        out << R"({"format": "vornik-settings", "version": 1, "network": {"server1": {"target-port": )" << targetPort
            << "}}";
        if (baud) out << R"(, "device": {"baud": )" << baud << "}";
        out << "}";
        return file;
    }
    // One simulator per argument list, all on the test's port.
    std::vector<std::unique_ptr<SimProcess>> StartSims(const std::vector<std::vector<std::string>>& each)
    {
        std::vector<std::unique_ptr<SimProcess>> sims;
        for (const auto& args : each) sims.push_back(std::make_unique<SimProcess>(LoopbackSimArgs(port, args)));
        return sims;
    }
    // The block the device holds, asked with nobody else answering.
    Json NetworkOf(const std::string& mac)
    {
        const RunResult r = Ctl({"net", "get", mac}, {"--no-history"});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        return Doc(r)["devices"][0]["network"];
    }
};

// A sender that answers every network read for the device before the device
// does. Each row is a way of forging; none may end with a write.
TEST_F(HostileLan, AForgedNetworkBlockIsNeverWrittenBack)
{
    const struct {
        const char* name;
        Forger::Options forger;
        std::vector<std::string> args; // {} : apply the port file
        std::string why;
        int baud = 0; // the port file changes the device block too
    } rows[] = {
        {"a block made up anew for each read, apply", {false, 0, 7}, {}, "two reads gave different blocks"},
        {"a block made up anew for each read, net set", {false, 0, 8}, {"net", "set", kMac1, "max-connections=2"},
         "two reads gave different blocks"},
        {"one forged block, in replies longer than the block", {true, 40, 9}, {}, "longer than the block"},
        // The device block's reply, whole and later than the forged one, must
        // not make the network block's reply count as whole.
        {"one forged block in longer replies, the device block read as well", {true, 40, 10}, {},
         "longer than the block", 9600},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // The device answers late, so the forger's reply is always the first.
        SimProcess sim(LoopbackSimArgs(port, {"--devices", "1", "--delay", "1", "--delay-ms", "150"}));
        ASSERT_TRUE(sim.Ready());
        const Json before = NetworkOf(kMac1);
        ASSERT_FALSE(before.is_null());
        RunResult r;
        {
            Forger forger(port, kDevice1, row.forger);
            ASSERT_TRUE(forger.Bound());
            r = Ctl(row.args.empty() ? std::vector<std::string>{"apply", PortFile(4999, row.baud), kMac1} : row.args);
            EXPECT_GT(forger.Forged(), 0);
        }
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        const Json doc = Doc(r);
        ASSERT_EQ(doc["devices"].size(), 1u) << r.out;
        const Json& d = doc["devices"][0];
        EXPECT_EQ(d["result"], "not written") << r.out;
        EXPECT_NE(d.value("error", "").find(row.why), std::string::npos) << r.out;
        EXPECT_FALSE(d.contains("writes")) << r.out;
        EXPECT_EQ(NetworkOf(kMac1), before) << "the device's block was changed";
    }
}

// A sender that answers the first network read for a MAC and then falls
// silent, no device behind it: the read to check the first never comes, and
// that is a refusal of its own, not two reads that differ.
TEST_F(HostileLan, AReadAgainThatIsNeverAnsweredIsNoWrite)
{
    Forger forger(port, kDevice1, {true, 0, 9, {}, 1});
    ASSERT_TRUE(forger.Bound());
    const RunResult r = Ctl({"apply", PortFile(4999), kMac1});
    EXPECT_EQ(forger.Forged(), 1);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    const Json doc = Doc(r);
    ASSERT_EQ(doc["devices"].size(), 1u) << r.out;
    const Json& d = doc["devices"][0];
    EXPECT_EQ(d["result"], "not written") << r.out;
    const std::string error = d.value("error", "");
    EXPECT_EQ(error.rfind("read once, but the read again to check it failed: no reply to the network read again to check",
                          0),
              0u)
        << r.out;
    EXPECT_EQ(error.find("two reads gave different blocks"), std::string::npos) << r.out;
    EXPECT_FALSE(d.contains("writes")) << r.out;
}

// A write of a plan that is all or nothing (a list of identities) is not
// made to any device when one device's reads are refused as unsteady: the
// other device, read steadily, is not written either.
TEST_F(HostileLan, AnUnsteadyReadOfOneDeviceStopsEveryWriteOfAnAllOrNothingPlan)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "2", "--delay", "1", "--delay-ms", "150"}));
    ASSERT_TRUE(sim.Ready());
    const std::string csv = TempFile("identities.csv");
    std::ofstream(csv) << "mac,ip,mask,gateway\n"
                       << kMac1 << ",192.168.0.51,255.255.255.0,192.168.0.1\n"
                       << kMac2 << ",192.168.0.52,255.255.255.0,192.168.0.1\n";
    const Json second = NetworkOf(kMac2);
    RunResult r;
    {
        Forger forger(port, kDevice1, {false, 0, 11});
        ASSERT_TRUE(forger.Bound());
        r = Ctl({"apply", PortFile(4999), "--identities", csv});
        EXPECT_GT(forger.Forged(), 1);
    }
    EXPECT_NE(r.exitCode, 0) << r.out << r.err;
    const Json doc = Doc(r);
    ASSERT_EQ(doc["devices"].size(), 2u) << r.out;
    std::map<std::string, Json> byMac;
    for (const Json& d : doc["devices"]) byMac[d["mac"].get<std::string>()] = d;
    EXPECT_EQ(byMac[kMac1]["result"], "not written") << r.out;
    EXPECT_NE(byMac[kMac1].value("error", "").find("two reads gave different blocks"), std::string::npos) << r.out;
    EXPECT_EQ(byMac[kMac2]["result"], "not written") << r.out;
    EXPECT_EQ(byMac[kMac2].value("error", ""), "not written: the write to " + kMac1 + " was refused") << r.out;
    EXPECT_EQ(NetworkOf(kMac2), second) << "the second device was written";
}

// The read a write is patched from is checked by a second read, or by what
// the history last recorded for the device; a check that cannot be made is
// no write.
TEST_F(HostileLan, AWriteReadsItsBlockAgainUnlessTheHistoryAgrees)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1"}));
    ASSERT_TRUE(sim.Ready());
    const struct {
        const char* name;
        bool history;      // the write records, and reads, a history
        bool readBefore;   // the device read (and recorded) before
        bool changeBehind; // then changed without the history knowing
        int reads;         // network reads by the write: before it and its read-back
    } rows[] = {
        {"no history: read, read again, read back", false, false, false, 3},
        {"a history that agrees: read, read back", true, true, false, 2},
        {"a history that no longer agrees: read, read again, read back", true, true, true, 3},
        {"a history that never saw the device: read, read again, read back", true, false, false, 3},
    };
    int targetPort = 5000;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string history = TempFile("history-" + std::to_string(targetPort) + ".sqlite");
        const std::vector<std::string> global =
            row.history ? std::vector<std::string>{"--history", history} : std::vector<std::string>{"--no-history"};
        if (row.readBefore) ASSERT_EQ(Ctl({"net", "get", kMac1}, {"--history", history}).exitCode, 0);
        if (row.changeBehind)
            ASSERT_EQ(Ctl({"net", "set", kMac1, "server2.target-port=" + std::to_string(targetPort)}, {"--no-history"}).exitCode, 0);
        Listener listener(port);
        ASSERT_TRUE(listener.Bound());
        const RunResult r = Ctl({"net", "set", kMac1, "server1.target-port=" + std::to_string(++targetPort)}, global);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(NetworkReads(listener.Drain()), row.reads) << r.out;
    }
}

// What a search shows stops a write that would reach the wrong device: an
// address another device answers with, a MAC two devices share at two
// addresses, or clones that share the MAC and the address, whose only trace
// is that more replies come than the search sent.
TEST_F(HostileLan, ApplyWritesNoDeviceASearchShowsItWouldHarm)
{
    const std::vector<std::string> fleet3{"--devices", "3"}, fleet2{"--devices", "2"}, clone1{"--devices", "1"},
        elsewhere{"--base-mac", kMac1, "--base-ip", "10.0.0.9"};
    const std::string ipFile = TempFile("ip.json");
    std::ofstream(ipFile) << R"({"format": "vornik-settings", "version": 1, "network": {"mode": "static", "ip": "192.168.0.101"}})";
    const std::string portFile = PortFile(4123);
    struct Expect {
        std::string mac, result, says;
    };
    const struct {
        const char* name;
        std::vector<std::vector<std::string>> sims;
        std::vector<std::string> args;
        std::vector<Expect> devices;
    } rows[] = {
        {"--identity onto an address another device answers with", {fleet3}, {"apply", ipFile, kMac1, "--identity"},
         {{kMac1, "not written", kMac2 + " already answers with 192.168.0.101"}}},
        {"a MAC two devices answer with at two addresses", {fleet2, elsewhere}, {"apply", portFile, kMac1},
         {{kMac1, "not written", "all answer with this MAC address"}}},
        {"clones with one MAC and one address", {clone1, clone1}, {"apply", portFile, kMac1},
         {{kMac1, "not written", "more replies came"}}},
        {"clones among others, --all", {fleet2, clone1}, {"apply", portFile, "--all", "--wait", "0.3"},
         {{kMac2, "confirmed", ""}, {kMac1, "not written", "more replies came"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto sims = StartSims(row.sims);
        for (const auto& sim : sims) ASSERT_TRUE(sim->Ready());
        const RunResult r = Ctl(row.args);
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        const Json doc = Doc(r);
        ASSERT_EQ(doc["devices"].size(), row.devices.size()) << r.out;
        for (const Expect& want : row.devices) {
            const auto d = std::find_if(doc["devices"].begin(), doc["devices"].end(),
                                        [&](const Json& x) { return x["mac"] == want.mac; });
            ASSERT_NE(d, doc["devices"].end()) << want.mac << r.out;
            EXPECT_EQ((*d)["result"], want.result) << want.mac << r.out;
            EXPECT_NE(d->value("error", "").find(want.says), std::string::npos) << want.mac << r.out;
            if (want.result != "confirmed") EXPECT_FALSE(d->contains("writes")) << want.mac << r.out;
        }
    }
}

// Clones are told by their replies alone: twice as many as the searches sent
// or, when another tool searches too and every device answers it, twice as
// many as the other devices sent.
TEST_F(HostileLan, SearchMarksClonesThatShareTheMacAndTheAddress)
{
    const struct {
        const char* name;
        std::vector<std::vector<std::string>> sims;
        bool otherTool; // another vornikctl searching the LAN all the while
        std::set<std::string> clones;
        size_t count;
    } rows[] = {
        {"a clone of device 1 beside a fleet of two", {{"--devices", "2"}, {"--devices", "1"}}, false, {kMac1}, 2},
        {"a fleet of three, another tool searching too", {{"--devices", "3"}}, true, {}, 3},
        {"a clone of device 1, another tool searching too", {{"--devices", "2"}, {"--devices", "1"}}, true, {kMac1}, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto sims = StartSims(row.sims);
        for (const auto& sim : sims) ASSERT_TRUE(sim->Ready());
        std::atomic<bool> done{false};
        std::thread other;
        if (row.otherTool)
            other = std::thread([&] {
                while (!done) Ctl({"search", "--wait", "0.05"}, {"--tries", "1"});
            });
        const Json doc = Doc(Ctl({"search", "--wait", "0.3"}));
        done = true;
        if (other.joinable()) other.join();
        ASSERT_EQ(doc["count"], row.count) << doc.dump(1);
        for (const Json& d : doc["devices"]) EXPECT_EQ(d["clones"], row.clones.count(d["mac"]) > 0) << d;
    }
    SimProcess fleet(LoopbackSimArgs(port, {"--devices", "2"}));
    SimProcess clone(LoopbackSimArgs(port, {"--devices", "1"}));
    ASSERT_TRUE(fleet.Ready() && clone.Ready());
    const std::string table = TableOf({"search", "--wait", "0.3"});
    EXPECT_NE(table.find("clones?"), std::string::npos) << table;
}

// A device's text goes to a terminal in the table: an ESC there would
// retitle or clear it. The JSON escapes it by itself.
TEST_F(HostileLan, DeviceTextReachesTheTerminalEscaped)
{
    NetworkParams held = {};
    held.ipMode = IP_MODE_STATIC;
    held.ipAddress = 0xC0A80064;
    held.subnetMask = 0xFFFFFF00;
    StoreTargetAddress(held.servers[0].targetAddress, "a\x1b]0;owned\x07z");
    StoreTargetAddress(held.servers[1].targetAddress, "\x1b[2J\x7f");
    // The device's text is in code page 936: 服务器 is B7 FE CE F1 C6 F7.
    StoreTargetAddress(held.servers[2].targetAddress, "\xb7\xfe\xce\xf1\xc6\xf7.cn");
    const auto image = EncodeNetworkParams(held);
    Forger device(port, kDevice1, {.fixed = {image.begin(), image.end()}});
    ASSERT_TRUE(device.Bound());
    const std::string table = TableOf({"--no-history", "net", "get", kMac1});
    const struct {
        const char* field;
        std::string shown;
    } rows[] = {
        {"server1.target-address", R"(a\x1b]0;owned\x07z)"},
        {"server2.target-address", R"(\x1b[2J\x7f)"},
        {"server3.target-address", "服务器.cn"},
    };
    for (const auto& row : rows) {
        const size_t at = table.find(row.field);
        ASSERT_NE(at, std::string::npos) << table;
        const std::string line = table.substr(at, table.find('\n', at) - at);
        EXPECT_NE(line.find(row.shown), std::string::npos) << line;
    }
    for (const char c : {'\x1b', '\x07', '\x7f'}) EXPECT_EQ(table.find(c), std::string::npos) << int(c);
    const Json doc = Doc(Ctl({"--no-history", "net", "get", kMac1}));
    EXPECT_EQ(doc["devices"][0]["network"]["server1"]["target-address"], "a\x1b]0;owned\x07z") << "the JSON as the device holds it";
}

// Files that are not what they seem: a FIFO would hold an open for ever, a
// link left where a file goes would be written through, and a umask of 000
// would leave a user's data open to every other user.
TEST_F(HostileLan, FilesAreTakenOnlyAsWhatTheySeem)
{
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "1"}));
    ASSERT_TRUE(sim.Ready());
    const std::string fifo = TempFile("fifo.json"), elsewhere = TempFile("elsewhere.json"),
                      link = TempFile("link.json"), plain = TempFile("plain.json"), settings = PortFile(4100);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), link.c_str()), 0);
    const mode_t umaskBefore = ::umask(0);
    const struct {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string says; // on stderr or in the JSON
    } rows[] = {
        {"a FIFO as the settings file", {"apply", fifo, kMac1}, 2, "not a regular file"},
        {"a FIFO as the identities", {"apply", settings, "--identities", fifo}, 2, "not a regular file"},
        {"export onto a link to nowhere", {"export", kMac1, link}, 2, "exists; --force"},
        {"export onto it with --force", {"export", kMac1, link, "--force"}, 0, ""},
        {"export under umask 000", {"export", kMac1, plain}, 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const RunResult r = RunProgram(VORNIKCTL_PATH, [&] {
            std::vector<std::string> all{"--json", "--quiet", "--port", std::to_string(port), "--broadcast",
                                         "127.255.255.255", "--bind", "127.0.0.2", "--interval", "0.2"};
            all.insert(all.end(), row.args.begin(), row.args.end());
            return all;
        }(), std::chrono::seconds(10));
        EXPECT_EQ(r.exitCode, row.exitCode) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(row.says), std::string::npos) << r.out << r.err;
    }
    ::umask(umaskBefore);
    struct stat st {};
    EXPECT_NE(::stat(elsewhere.c_str(), &st), 0) << "the link's target was never made";
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "--force put a file where the link was";
    ASSERT_EQ(::stat(plain.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // The history the export recorded its read in, made under umask 000 too.
    const std::string folder = dataHome + "/vornik";
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((folder + "/history.sqlite").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

} // namespace
} // namespace vornik::test

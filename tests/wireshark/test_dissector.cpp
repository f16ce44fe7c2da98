// The Wireshark dissector (tools/wireshark/vornik.lua) on a record of real
// traffic: the link talks to simulated devices on loopback, the record is
// saved as a pcap file, and tshark's dissection of every frame is compared
// with what the simulator holds and what was sent. Exits 77 (skipped) where
// tshark is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "cli_process.h"
#include "hex.h"
#include "tshark.h"
#include "proto/frame.h"
#include "link/packet_capture.h"
#include "link_fixture.h"
#include "proto/net_params.h"

namespace vornik::test {
namespace {

std::string Join(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ",") + item;
    return out;
}

std::string Repeat(const std::string& item, int times)
{
    return Join(std::vector<std::string>(size_t(times), item));
}

class DissectorTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = fs::temp_directory_path() / ("vornik-dissector-" + std::to_string(::getpid()));
        s_tshark = new Tshark(s_dir);
        if (!s_tshark->Failed()) Record();
    }
    static void TearDownTestSuite()
    {
        delete s_tshark;
        s_tshark = nullptr;
        // VORNIK_KEEP_PCAP=1 leaves the record and the script for a look with tshark or Wireshark.
        if (std::getenv("VORNIK_KEEP_PCAP")) {
            std::printf("kept %s (%s)\n", s_pcap.c_str(), s_decodeAs.c_str());
            return;
        }
        std::error_code ignored;
        fs::remove_all(s_dir, ignored);
    }

    void SetUp() override { ASSERT_FALSE(s_tshark->Failed()) << "tshark does not load the dissector"; }

    // Two devices with the documented factory values, and a third whose
    // replies carry a spoilt CRC, each simulator on a port of its own.
    static void Record()
    {
        PacketCapture capture;
        const uint16_t port = FreeUdpPort();
        const uint16_t spoiltPort = FreeUdpPort();
        // The made-up IP and UDP headers are checked too.
        s_decodeAs = "-o ip.check_checksum:TRUE -o udp.check_checksum:TRUE -d udp.port==" + std::to_string(port) + ",vornik -d udp.port==" + std::to_string(spoiltPort) +
                     ",vornik";
        {
            SimProcess sim(LoopbackSimArgs(port, {"--devices", "2", "--base-ip", "10.9.0.7", "--base-mac",
                                                  "02-00-00-00-00-01", "--firmware", "321"}));
            ASSERT_TRUE(sim.Ready());
            LinkConfig config = LoopbackLinkConfig(port, {Loopback(2)});
            capture.Attach(config);
            Inbox inbox;
            UdpLink link(config, {}, inbox.Sink());
            link.Start();
            link.OpenEndpoints();
            auto send = [&](const Bytes& frame) { link.SendFrame(frame.data(), frame.size()); };
            const MacAddress first{0x02, 0, 0, 0, 0, 0x01};
            const MacAddress second{0x02, 0, 0, 0, 0, 0x02};

            send(BuildSearchRequest());
            ASSERT_EQ(inbox.Replies(CMD_SEARCH, 2).size(), 2u);
            send(BuildNetworkReadRequest(first));
            ASSERT_EQ(inbox.Replies(CMD_READ_NETWORK, 1).size(), 1u);

            NetworkParams written;
            written.ipMode = 0x00; // DHCP
            written.ipAddress = 0x0A090063;  // 10.9.0.99
            written.gateway = 0x0A0900FE;    // 10.9.0.254
            written.subnetMask = 0xFFFF0000; // 255.255.0.0
            written.carriedBytes = {1, 2, 3, 4, 5, 6};
            written.maxConnections = 3;
            for (size_t s = 0; s < SERVER_COUNT; ++s) {
                written.servers[s].localPort = uint16_t(5000 + s);
                written.servers[s].targetPort = uint16_t(6000 + s);
                const std::string target = "host" + std::to_string(s + 1);
                std::memcpy(written.servers[s].targetAddress.data(), target.c_str(), target.size() + 1);
            }
            // Server 8 by name, in code page 936: "测试" is B2 E2 CA D4.
            const Bytes gbk = Hex("B2 E2 CA D4 2E 63 6E 00");
            std::copy(gbk.begin(), gbk.end(), written.servers[7].targetAddress.begin());
            const NetworkParamsImage image = EncodeNetworkParams(written);
            send(BuildNetworkWriteRequest(first, image));
            ASSERT_EQ(inbox.Replies(CMD_WRITE_NETWORK, 1).size(), 1u);

            send(BuildWriteMacRequest(second, MacAddress{0x02, 0x5A, 0xC3, 0x00, 0x00, 0x99}));
            ASSERT_EQ(inbox.Replies(CMD_WRITE_MAC, 1).size(), 1u);
            send(BuildFactoryDefaultsRequest(first));
            ASSERT_EQ(inbox.Replies(CMD_FACTORY_DEFAULTS, 1).size(), 1u);
            send(Hex("AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98")); // read, function 0x10
            ASSERT_EQ(inbox.Replies(CMD_DEVICE_PARAMS, 1).size(), 1u);
            // The page's start-up values written to 02-00-00-00-00-01, as the
            // window sends them.
            std::string limits;
            for (int c = 0; c < 8; ++c) limits += " E7 03 00 00 E7 03 00 00";
            send(Hex("AA 00 67 0A 02 00 00 00 00 01 "
                     "7E 11 08 78 56 34 12 03 00 3C 00 05 00 00 C0 12 00 00 08 00 01 01 01 02 03 04 05 06 07 08" +
                     limits + " F7 A4 37"));
            ASSERT_EQ(inbox.Replies(CMD_DEVICE_PARAMS, 2).size(), 2u);
            // A factory-defaults request with a wrong checksum (0x09 is right).
            const Bytes wrong = Hex("AA 00 07 06 02 00 00 00 00 01 00");
            send(wrong);
            // Its loopback copy is in the record too once it has come back.
            inbox.WaitUntil([&](const std::vector<Bytes>& all) { return std::count(all.begin(), all.end(), wrong) > 0; });
            link.Stop();
        }
        {
            SimProcess sim(LoopbackSimArgs(spoiltPort, {"--corrupt-crc", "1", "--reply-0b"}));
            ASSERT_TRUE(sim.Ready());
            LinkConfig config = LoopbackLinkConfig(spoiltPort, {Loopback(3)});
            capture.Attach(config);
            Inbox inbox;
            UdpLink link(config, {}, inbox.Sink());
            link.Start();
            link.OpenEndpoints();
            const Bytes read = BuildDeviceParamsRequest(MacAddress{0x02, 0, 0, 0, 0, 0x01}, Hex("7E 10 21 DC"));
            link.SendFrame(read.data(), read.size());
            ASSERT_EQ(inbox.Replies(CMD_DEVICE_PARAMS_REPLY, 1).size(), 1u);
            link.Stop();
        }
        s_pcap = s_dir / "traffic.pcap";
        std::string error;
        ASSERT_TRUE(capture.Save(s_pcap.string(), &error)) << error;
        ::chmod(s_pcap.c_str(), 0644);
    }

    std::vector<std::vector<std::string>> Fields(const std::string& filter, const std::vector<std::string>& fields)
    {
        return s_tshark->Fields(s_pcap, s_decodeAs, filter, fields);
    }

    static inline fs::path s_dir;
    static inline fs::path s_pcap;
    static inline std::string s_decodeAs;
    static inline Tshark* s_tshark = nullptr;
};

TEST_F(DissectorTest, SearchRepliesNameTheDevicesAddressMacAndFirmware)
{
    const auto rows = Fields("vornik.marker == 0x55 && vornik.command == 0x02",
                             {"vornik.search.ip", "vornik.search.mac", "vornik.search.firmware", "vornik.checksum.good"});
    ASSERT_EQ(rows.size(), 2u);
    std::map<std::string, std::vector<std::string>> byIp;
    for (const auto& r : rows) byIp[r[0]] = r;
    EXPECT_EQ(byIp["10.9.0.7"], (std::vector<std::string>{"10.9.0.7", "02:00:00:00:00:01", "321", "1"}));
    EXPECT_EQ(byIp["10.9.0.8"], (std::vector<std::string>{"10.9.0.8", "02:00:00:00:00:02", "321", "1"}));
    // The request: marker, length 1, command, checksum 02.
    const auto request = Fields("vornik.marker == 0xaa && vornik.command == 0x02",
                                {"vornik.length", "vornik.checksum", "vornik.checksum.good"});
    ASSERT_GE(request.size(), 1u);
    EXPECT_EQ(request[0], (std::vector<std::string>{"1", "0x02", "1"}));
}

TEST_F(DissectorTest, TheNetworkBlockAndItsEightServersAsTheDeviceHoldsThem)
{
    const std::vector<std::string> fields{
        "vornik.mac",  "vornik.net.static", "vornik.net.ip", "vornik.net.gateway", "vornik.net.mask",
        "vornik.net.max_connections", "vornik.net.server", "vornik.net.server.local_port",
        "vornik.net.server.target_port", "vornik.net.server.target_address"};
    const auto reply = Fields("vornik.marker == 0x55 && vornik.command == 0x03", fields);
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(reply[0], (std::vector<std::string>{
                            "02:00:00:00:00:01", "1", "10.9.0.7", "10.9.0.1", "255.255.255.0", "8",
                            "1,2,3,4,5,6,7,8", "2000,2001,2002,2003,2004,2005,2006,2007",
                            "2000,2001,2002,2003,2004,2005,2006,2007", Repeat("192.168.0.166", 8)}));

    const auto written = Fields("vornik.marker == 0xaa && vornik.command == 0x04", fields);
    ASSERT_GE(written.size(), 1u);
    EXPECT_EQ(written[0], (std::vector<std::string>{
                              "02:00:00:00:00:01", "0", "10.9.0.99", "10.9.0.254", "255.255.0.0", "3",
                              "1,2,3,4,5,6,7,8", "5000,5001,5002,5003,5004,5005,5006,5007",
                              "6000,6001,6002,6003,6004,6005,6006,6007",
                              "host1,host2,host3,host4,host5,host6,host7,测试.cn"}));
    const auto carried = Fields("vornik.marker == 0xaa && vornik.command == 0x04", {"vornik.net.carried", "vornik.length"});
    ASSERT_GE(carried.size(), 1u);
    EXPECT_EQ(carried[0], (std::vector<std::string>{"010203040506", "299"}));
}

TEST_F(DissectorTest, MacWriteAndFactoryDefaultsNameTheirAddresses)
{
    const auto mac = Fields("vornik.marker == 0xaa && vornik.command == 0x0f", {"vornik.mac", "vornik.new_mac"});
    ASSERT_GE(mac.size(), 1u);
    EXPECT_EQ(mac[0], (std::vector<std::string>{"02:00:00:00:00:02", "02:5a:c3:00:00:99"}));
    // The device acknowledges from its new address.
    const auto ack = Fields("vornik.marker == 0x55 && vornik.command == 0x0f", {"vornik.mac", "vornik.checksum.good"});
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0], (std::vector<std::string>{"02:5a:c3:00:00:99", "1"}));

    const auto defaults =
        Fields("vornik.marker == 0xaa && vornik.command == 0x06", {"vornik.mac", "vornik.checksum", "vornik.checksum.good"});
    ASSERT_GE(defaults.size(), 2u);
    EXPECT_EQ(defaults[0], (std::vector<std::string>{"02:00:00:00:00:01", "0x09", "1"}));
}

TEST_F(DissectorTest, TheDeviceFrameFieldByFieldWithItsCrc)
{
    const std::vector<std::string> fields{
        "vornik.dev.function", "vornik.dev.server_count", "vornik.dev.terminal_address",
        "vornik.dev.login_interval", "vornik.dev.heartbeat_interval", "vornik.dev.upload_interval",
        "vornik.dev.work_mode", "vornik.dev.baud_rate", "vornik.dev.data_bits", "vornik.dev.parity",
        "vornik.dev.stop_bits", "vornik.dev.modbus_terminal_count", "vornik.dev.channel.address",
        "vornik.dev.channel.temp_upper", "vornik.dev.channel.temp_lower", "vornik.dev.channel.humidity_upper",
        "vornik.dev.channel.humidity_lower", "vornik.dev.crc", "vornik.dev.crc.good"};
    const std::vector<std::string> common{
        "8", "0x12345678", "3", "60", "5", "0", "4800", "8", "0", "1", "1", "1,2,3,4,5,6,7,8",
        Repeat("999", 8), Repeat("0", 8), Repeat("999", 8), Repeat("0", 8)};

    // The factory block as the device reports it.
    const auto read = Fields("vornik.marker == 0x55 && vornik.command == 0x0a && vornik.dev.function == 0x10", fields);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0][0], "0x10");
    EXPECT_EQ(std::vector<std::string>(read[0].begin() + 1, read[0].end() - 2), common);
    EXPECT_EQ(read[0].back(), "1");

    // The window's write of its start-up values: CRC A4F7.
    const auto write = Fields("vornik.marker == 0xaa && vornik.dev.function == 0x11", fields);
    ASSERT_GE(write.size(), 1u);
    EXPECT_EQ(write[0][0], "0x11");
    EXPECT_EQ(std::vector<std::string>(write[0].begin() + 1, write[0].end() - 2), common);
    EXPECT_EQ(write[0][fields.size() - 2], "0xa4f7");
    EXPECT_EQ(write[0].back(), "1");

    // The read request and the acknowledgement: mark, function, CRC only.
    const auto request = Fields("vornik.marker == 0xaa && vornik.dev.function == 0x10",
                                {"vornik.mac", "vornik.dev.start", "vornik.dev.crc", "vornik.dev.crc.good"});
    ASSERT_GE(request.size(), 1u);
    EXPECT_EQ(request[0], (std::vector<std::string>{"02:00:00:00:00:01", "0x7e", "0xdc21", "1"}));
    const auto ack = Fields("vornik.marker == 0x55 && vornik.dev.function == 0x11",
                            {"vornik.length", "vornik.dev.crc", "vornik.dev.crc.good"});
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0], (std::vector<std::string>{"4", "0x1ce0", "1"}));
}

TEST_F(DissectorTest, AWrongCrcAndAWrongChecksumAreExpertErrors)
{
    // The reply 0x0B with the spoilt CRC; its outer checksum is right.
    const auto spoilt = Fields("vornik.command == 0x0b", {"vornik.dev.crc.good", "vornik.checksum.good",
                                                          "vornik.dev.server_count"});
    ASSERT_EQ(spoilt.size(), 1u);
    EXPECT_EQ(spoilt[0], (std::vector<std::string>{"0", "1", "8"}));
    EXPECT_EQ(Fields("vornik.dev.crc.bad", {"frame.number"}).size(), 1u);
    const std::string verbose = s_tshark->Verbose(s_pcap, s_decodeAs, "vornik.command == 0x0b");
    EXPECT_NE(verbose.find("Expert Info (Error/Checksum): Bad CRC-16/MODBUS"), std::string::npos) << verbose;

    // Sent, and heard back on loopback.
    const auto wrong = Fields("vornik.checksum.bad", {"vornik.command", "vornik.checksum"});
    ASSERT_EQ(wrong.size(), 2u);
    EXPECT_EQ(wrong[1], wrong[0]);
    EXPECT_EQ(wrong[0], (std::vector<std::string>{"0x06", "0x00"}));
    // Every other frame is sound.
    EXPECT_EQ(Fields("vornik && !vornik.checksum.bad && !vornik.dev.crc.bad && (_ws.expert || _ws.malformed)",
                     {"frame.number"}).size(),
              0u);
}

// A sum is a note, too short stays an error. 192.168.1.9 is 09 01 A8 C0, firmware 321 is 41 01;
// the sum by hand: 02+09+01+A8+C0+02+2A+41+01 = 0x1E2.
TEST_F(DissectorTest, RepliesAreDecodedWhateverTheirLengthAndSumSay)
{
    struct Row { std::string name, hex; std::vector<std::string> fields, values; std::string expert; bool error; };
    const std::string search = "55 00 11 02 00 00 00 00 09 01 A8 C0 02 00 00 00 00 2A 41 01", found = "vornik.search.mac";
    std::string block = "01 09 01 A8 C0";
    for (int i = 0; i < 287; ++i) block += " 00";
    const std::vector<Row> rows = {
        {"20 bytes, no sum", search, {"vornik.search.ip", found, "vornik.search.firmware"}, {"192.168.1.9", "02:00:00:00:00:2a", "321"}, "vornik.reply.no_sum", false},
        {"20 bytes, length 16", "55 00 10" + search.substr(8), {"vornik.search.ip"}, {"192.168.1.9"}, "vornik.reply.no_sum", false},
        {"with its sum", search + " E2", {found, "vornik.checksum.good"}, {"02:00:00:00:00:2a", "1"}, "", false},
        {"a sum that differs", search + " 00", {found, "vornik.checksum.good"}, {"02:00:00:00:00:2a", "0"}, "vornik.reply.sum_differs", false},
        {"a length of 40", "55 00 28" + search.substr(8), {found}, {"02:00:00:00:00:2a"}, "vornik.reply.length", false},
        {"a network read, no sum", "55 01 2B 03 02 00 00 00 00 2A " + block, {"vornik.net.ip"}, {"192.168.1.9"}, "vornik.reply.no_sum", false},
        {"an acknowledgement, no sum", "55 00 07 04 02 00 00 00 00 2A", {"vornik.mac"}, {"02:00:00:00:00:2a"}, "vornik.reply.no_sum", false},
        {"one byte short", search.substr(0, search.size() - 3), {"vornik.command"}, {"0x02"}, "vornik.short", true},
    };
    const fs::path pcap = s_dir / "reply.pcap";
    const std::string decode = "-d udp.port==1901,vornik";
    for (const Row& row : rows) {
        ASSERT_TRUE(WritePcapFile(pcap.string(), std::vector<CapturedDatagram>{{{}, 0x7F000009, 1901, 0x7F000002, 1901, false, Hex(row.hex)}}));
        ::chmod(pcap.c_str(), 0644);
        EXPECT_EQ(s_tshark->Fields(pcap, decode, "vornik", row.fields), std::vector<std::vector<std::string>>{row.values}) << row.name;
        EXPECT_EQ(s_tshark->Fields(pcap, decode, "_ws.malformed || _ws.expert.severity >= 0x00600000", {"frame.number"}).size(),
                  row.error ? 1u : 0u) << row.name << s_tshark->Verbose(pcap, decode, "vornik");
        EXPECT_EQ(s_tshark->Fields(pcap, decode, row.expert.empty() ? "_ws.expert" : row.expert, {"frame.number"}).size(),
                  row.expert.empty() ? 0u : 1u) << row.name;
    }
}

// vornikctl records its traffic with --pcap: a device read, reply included,
// dissected like the window's, and a bad file name refused before anything is sent.
TEST_F(DissectorTest, VornikctlRecordsItsTrafficWithPcap)
{
    const uint16_t port = FreeUdpPort();
    SimProcess sim(LoopbackSimArgs(port, {"--base-mac", "02-00-00-00-00-07", "--firmware", "77"}));
    ASSERT_TRUE(sim.Ready());
    const fs::path pcap = s_dir / "vornikctl.pcap";
    const std::vector<std::string> common{"--port", std::to_string(port), "--broadcast", "127.255.255.255",
                                          "--bind", "127.0.0.4", "--interval", "0.2", "-q"};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), common.begin(), common.end());
        return RunProgram(VORNIKCTL_PATH, args);
    };
    const RunResult got = run({"--pcap", pcap.string(), "dev", "get", "02-00-00-00-00-07"});
    ASSERT_EQ(got.exitCode, 0) << got.err;
    ::chmod(pcap.c_str(), 0644);
    const std::string decodeAs = "-d udp.port==" + std::to_string(port) + ",vornik";
    const auto request = s_tshark->Fields(pcap, decodeAs, "vornik.marker == 0xaa && vornik.command == 0x0a",
                                          {"ip.src", "vornik.mac", "vornik.dev.function"});
    ASSERT_GE(request.size(), 1u);
    EXPECT_EQ(request[0], (std::vector<std::string>{"127.0.0.4", "02:00:00:00:00:07", "0x10"}));
    const auto reply = s_tshark->Fields(pcap, decodeAs, "vornik.marker == 0x55 && vornik.command == 0x0a",
                                        {"vornik.dev.baud_rate", "vornik.dev.crc.good"});
    ASSERT_GE(reply.size(), 1u);
    EXPECT_EQ(reply[0], (std::vector<std::string>{"4800", "1"}));

    const RunResult refused = run({"--pcap", "/nonexistent-folder/x.pcap", "dev", "get", "02-00-00-00-00-07"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("--pcap"), std::string::npos) << refused.err;
}

} // namespace
} // namespace vornik::test

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!vornik::test::TsharkInstalled()) {
        std::puts("tshark is not installed: skipped");
        return 77;
    }
    return RUN_ALL_TESTS();
}

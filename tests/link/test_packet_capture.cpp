// The packet record: the made-up IPv4/UDP headers, the bound of the ring, and
// the link's traffic against the simulator written as pcap files that
// libpcap reads back.
#include <pcap/pcap.h>

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <filesystem>
#include <unistd.h>

#include "hex.h"
#include "proto/frame.h"
#include "link/packet_capture.h"
#include "link_fixture.h"

namespace vornik::test {
namespace {

struct PcapPacket {
    timeval time;
    Bytes bytes;
};

struct PcapRead {
    int linkType = -1;
    std::vector<PcapPacket> packets;
};

PcapRead ReadPcap(const std::string& path)
{
    PcapRead out;
    char error[PCAP_ERRBUF_SIZE];
    pcap_t* p = pcap_open_offline(path.c_str(), error);
    if (!p) {
        ADD_FAILURE() << error;
        return out;
    }
    out.linkType = pcap_datalink(p);
    pcap_pkthdr* h;
    const u_char* data;
    while (pcap_next_ex(p, &h, &data) == 1) out.packets.push_back({h->ts, Bytes(data, data + h->caplen)});
    pcap_close(p);
    return out;
}

std::string TempPath(const char* name)
{
    return (std::filesystem::temp_directory_path() / (std::string(name) + "-" + std::to_string(::getpid()) + ".pcap"))
        .string();
}

uint32_t Be32(const Bytes& b, size_t at) { return uint32_t(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]; }
uint16_t Be16(const Bytes& b, size_t at) { return uint16_t(b[at] << 8 | b[at + 1]); }

TEST(Ipv4UdpPacket, HeaderChecksumMatchesAPublishedExample)
{
    // The textbook IPv4 header 45 00 00 73 00 00 40 00 40 11 B8 61 C0 A8 00 01
    // C0 A8 00 C7: 115 bytes from 192.168.0.1 to 192.168.0.199, checksum B861.
    CapturedDatagram d;
    d.sourceAddress = 0xC0A80001;
    d.destinationAddress = 0xC0A800C7;
    d.sourcePort = 1901;
    d.destinationPort = 1901;
    d.bytes.assign(115 - 28, 0x5A);
    const Bytes p = Ipv4UdpPacket(d, 0);
    ASSERT_EQ(p.size(), 115u);
    EXPECT_EQ(Bytes(p.begin(), p.begin() + 20), Hex("45 00 00 73 00 00 40 00 40 11 B8 61 C0 A8 00 01 C0 A8 00 C7"));
    EXPECT_EQ(Bytes(p.begin() + 20, p.begin() + 26), Hex("07 6D 07 6D 00 5F"));
    EXPECT_EQ(Bytes(p.begin() + 28, p.end()), d.bytes);
}

TEST(Ipv4UdpPacket, UdpChecksumOfAKnownDatagram)
{
    // 10.0.0.1:1901 -> 255.255.255.255:1901 carrying AA 00 01 02 02; the sum
    // worked by hand over the pseudo-header, the UDP header and the data:
    // 0A00+0001+FFFF+FFFF+0011+000D + 076D+076D+000D + AA00+0102+0200 = 0x2C606,
    // folded 0xC608, complemented 0x39F7.
    CapturedDatagram d;
    d.sourceAddress = 0x0A000001;
    d.destinationAddress = 0xFFFFFFFF;
    d.sourcePort = d.destinationPort = 1901;
    d.bytes = Hex("AA 00 01 02 02");
    const Bytes p = Ipv4UdpPacket(d, 7);
    EXPECT_EQ(Be16(p, 4), 7);
    EXPECT_EQ(Be16(p, 26), 0x39F7);
}

TEST(PacketCapture, KeepsTheNewestDatagramsUpToItsBoundInOrder)
{
    PacketCapture capture(3);
    for (uint8_t i = 0; i < 5; ++i) {
        CapturedDatagram d;
        d.bytes = {i};
        capture.Record(d);
    }
    const auto held = capture.Snapshot();
    ASSERT_EQ(held.size(), 3u);
    EXPECT_EQ(held[0].bytes, Bytes{2});
    EXPECT_EQ(held[2].bytes, Bytes{4});
}

TEST(PacketCapture, AFileThatCannotBeMadeIsReported)
{
    PacketCapture capture;
    std::string error;
    EXPECT_FALSE(capture.Save("/nonexistent-folder/x.pcap", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(capture.StreamTo("/nonexistent-folder/x.pcap", &error));
}

// The link's own traffic with three simulated devices: the search that left,
// the replies that came back, with their addresses, in a file and streamed.
TEST(PacketCapture, RecordsTheLinksTrafficWithItsAddressesAndWritesItAsRawIpv4)
{
    // Replies from a port of their own (a translating router): the record keeps the sender's.
    const uint16_t port = FreeUdpPort(), replyPort = FreeUdpPort();
    SimProcess sim(LoopbackSimArgs(port, {"--devices", "3", "--unicast", "--reply-from", std::to_string(replyPort)}));
    ASSERT_TRUE(sim.Ready());

    PacketCapture capture;
    const std::string streamed = TempPath("vornik-streamed");
    ASSERT_TRUE(capture.StreamTo(streamed));
    LinkConfig config = LoopbackLinkConfig(port, {Loopback(2)});
    capture.Attach(config);
    Inbox inbox;
    UdpLink link(config, {}, inbox.Sink());
    link.Start();
    link.OpenEndpoints();
    const Frame search = BuildSearchRequest();
    link.SendFrame(search.data(), search.size());
    ASSERT_EQ(inbox.Replies(CMD_SEARCH, 3).size(), 3u);
    link.Stop();

    const auto held = capture.Snapshot();
    ASSERT_FALSE(held.empty());
    // The first is the request, from the endpoint to loopback's broadcast.
    EXPECT_TRUE(held[0].sent);
    EXPECT_EQ(held[0].bytes, search);
    EXPECT_EQ(held[0].sourceAddress, Loopback(2));
    EXPECT_EQ(held[0].sourcePort, port);
    EXPECT_EQ(held[0].destinationAddress, LOOPBACK_BROADCAST);
    EXPECT_EQ(held[0].destinationPort, port);
    // Unicast replies from the simulator's socket to the endpoint's address.
    size_t replies = 0;
    for (const CapturedDatagram& d : held) {
        if (d.sent || d.bytes.size() < 4 || d.bytes[0] != FRAME_REPLY) continue;
        ++replies;
        EXPECT_EQ(d.destinationAddress, Loopback(2));
        EXPECT_EQ(d.destinationPort, port);
        EXPECT_EQ(d.sourcePort, replyPort);
        EXPECT_NE(d.sourceAddress, 0u);
        EXPECT_GE(d.time, held[0].time);
    }
    EXPECT_EQ(replies, 3u);

    const std::string saved = TempPath("vornik-saved");
    std::string error;
    ASSERT_TRUE(capture.Save(saved, &error)) << error;
    // Each packet as the headers give it back, to compare regardless of order
    // (the streamed file is in order of recording, the ring in time order).
    using Seen = std::tuple<int64_t, uint32_t, uint16_t, uint32_t, uint16_t, Bytes>;
    std::vector<Seen> expected;
    for (const CapturedDatagram& d : held)
        expected.emplace_back(std::chrono::duration_cast<std::chrono::microseconds>(d.time.time_since_epoch()).count(),
                              d.sourceAddress, d.sourcePort, d.destinationAddress, d.destinationPort, d.bytes);
    std::sort(expected.begin(), expected.end());
    for (const std::string& path : {saved, streamed}) {
        SCOPED_TRACE(path);
        const PcapRead file = ReadPcap(path);
        EXPECT_EQ(file.linkType, DLT_RAW);
        std::vector<Seen> got;
        for (const PcapPacket& packet : file.packets) {
            const Bytes& p = packet.bytes;
            ASSERT_GE(p.size(), 28u);
            EXPECT_EQ(Be16(p, 2), p.size());      // IPv4 total length
            EXPECT_EQ(Be16(p, 24), p.size() - 20); // UDP length
            got.emplace_back(int64_t(packet.time.tv_sec) * 1000000 + packet.time.tv_usec, Be32(p, 12), Be16(p, 20),
                             Be32(p, 16), Be16(p, 22), Bytes(p.begin() + 28, p.end()));
        }
        if (path == saved) {
            EXPECT_TRUE(std::is_sorted(got.begin(), got.end(),
                                       [](const Seen& a, const Seen& b) { return std::get<0>(a) < std::get<0>(b); }));
        }
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, expected);
    }
    std::remove(saved.c_str());
    std::remove(streamed.c_str());
}

// As a sent datagram reported after its own loopback copy.
TEST(PacketCapture, KeepsAndSavesDatagramsInTimeOrderWhateverOrderTheyCameIn)
{
    for (const std::vector<int>& order : std::vector<std::vector<int>>{{3, 1, 2}, {1, 3, 2}, {2, 2, 1}, {5, 4, 3, 2, 1}}) {
        PacketCapture capture;
        for (int t : order) capture.Record({std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000) +
                                                                                 std::chrono::microseconds(t)), 0, 0, 0, 0, false, {uint8_t(t)}});
        std::vector<int> sorted = order, held, saved;
        std::sort(sorted.begin(), sorted.end());
        for (const CapturedDatagram& d : capture.Snapshot()) held.push_back(d.bytes[0]);
        const std::string path = TempPath("vornik-order");
        ASSERT_TRUE(capture.Save(path));
        for (const PcapPacket& p : ReadPcap(path).packets) saved.push_back(int(p.time.tv_usec));
        EXPECT_EQ(held, sorted) << testing::PrintToString(order);
        EXPECT_EQ(saved, sorted) << testing::PrintToString(order);
        std::remove(path.c_str());
    }
}

} // namespace
} // namespace vornik::test

// The simulated devices' replies, checked against the worked frames of the
// protocol notes rather than against the builders they are made with.
#include <gtest/gtest.h>

#include <set>

#include "hex.h"
#include "sim_fleet.h"
#include "vectors.h"

using namespace vornik;
using namespace vornik::sim;
using vornik::test::Hex;
using vornik::test::ToHex;
using vornik::test::kStartupBlock;
using vornik::test::kStartupReadCrc;
using vornik::test::kStartupWriteCrc;

namespace {

// The factory block is the page's start-up block: the read reply carries it
// with function 0x10, a write with 0x11.
const std::string kFactoryReadFrame = std::string("7E 10 ") + kStartupBlock + " " + kStartupReadCrc;
const std::string kFactoryWriteFrame = std::string("7E 11 ") + kStartupBlock + " " + kStartupWriteCrc;

Fleet OneDevice(uint64_t mac, uint32_t ip = 0xC0A80009, uint8_t replyCommand = CMD_DEVICE_PARAMS)
{
    FleetOptions o;
    o.baseMac = mac;
    o.baseIp = ip;
    o.deviceReplyCommand = replyCommand;
    return Fleet(o);
}

std::string Only(const std::vector<Reply>& replies)
{
    EXPECT_EQ(replies.size(), 1u);
    return replies.empty() ? "" : ToHex(replies[0].frame);
}

// Bytes [from, to) of a frame as hex.
std::string Part(const std::string& frameHex, size_t from, size_t to)
{
    const auto b = Hex(frameHex);
    return ToHex(std::span(b).subspan(from, std::min(to, b.size()) - from));
}

TEST(SimFleet, SearchReplyCarriesAddressMacAndFirmware)
{
    Fleet fleet = OneDevice(0x001A2B3C4D5E, 0xC0A800A6);
    const std::string reply = Only(fleet.Handle(Hex("AA 00 01 02 02")));
    EXPECT_EQ(Part(reply, 0, 1), "55");
    EXPECT_EQ(Part(reply, 3, 4), "02");
    EXPECT_EQ(Part(reply, 8, 20), "A6 00 A8 C0 00 1A 2B 3C 4D 5E 64 00");
}

// The core tests take the factory values as the decoded start-up block; this
// holds them to the hand-written bytes.
TEST(SimFleet, FactoryBlockIsTheStartupBlock)
{
    EXPECT_EQ(ToHex(DeviceReadReplyFrame(FactoryDeviceParams())), ToHex(Hex(kFactoryReadFrame)));
}

TEST(SimFleet, DeviceReadAnswersWithTheFactoryBlock)
{
    for (uint8_t command : {CMD_DEVICE_PARAMS, CMD_DEVICE_PARAMS_REPLY}) {
        Fleet fleet = OneDevice(0x020000000001, 0xC0A80009, command);
        const std::string reply = Only(fleet.Handle(Hex("AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98")));
        // The length field is the inner frame's: 0x60 = 96.
        EXPECT_EQ(Part(reply, 0, 10), std::string("55 00 60 ") + (command == 0x0A ? "0A" : "0B") + " 02 00 00 00 00 01");
        EXPECT_EQ(Part(reply, 10, 106), ToHex(Hex(kFactoryReadFrame)));
        EXPECT_EQ(Hex(reply).size(), 107u);
    }
}

TEST(SimFleet, DeviceWriteIsAcknowledgedAndStored)
{
    Fleet fleet = OneDevice(0x020000000001);
    // The write of the page's start-up values to 02 00 00 00 00 01.
    const std::string ack = Only(fleet.Handle(Hex("AA 00 67 0A 02 00 00 00 00 01 " + kFactoryWriteFrame + " 37")));
    EXPECT_EQ(Part(ack, 0, 14), "55 00 04 0A 02 00 00 00 00 01 7E 11 E0 1C");

    // A changed block comes back in the next read.
    DeviceParams changed = FactoryDeviceParams();
    changed.terminalAddress = 0xABCD;
    changed.tempLowerLimit[0] = -50;
    std::array<uint8_t, DEVICE_FRAME_SIZE> inner{};
    BuildDeviceFrame(inner, DEVICE_FUNC_WRITE, changed);
    ASSERT_EQ(fleet.Handle(BuildDeviceParamsRequest(MacFromNumber(0x020000000001), inner)).size(), 1u);
    EXPECT_EQ(fleet.Devices()[0].params, changed);

    // A spoiled CRC is not acknowledged and changes nothing.
    inner[50] ^= 1;
    std::string why;
    EXPECT_TRUE(fleet.Handle(BuildDeviceParamsRequest(MacFromNumber(0x020000000001), inner), &why).empty());
    EXPECT_EQ(why, "device frame CRC");
    EXPECT_EQ(fleet.Devices()[0].params, changed);
}

TEST(SimFleet, NetworkReadAnswersWithTheBlockAfterTheMac)
{
    Fleet fleet = OneDevice(0x001122334455, 0xC0A80009);
    const std::string reply = Only(fleet.Handle(Hex("AA 00 07 03 00 11 22 33 44 55 02")));
    EXPECT_EQ(Hex(reply).size(), 303u);
    EXPECT_EQ(Part(reply, 0, 10), "55 01 2B 03 00 11 22 33 44 55");
    // Static, 192.168.0.9, gateway .1, mask /24, six carried bytes, 8
    // connections, server 1 on 2000 to 2000 at "192.168.0.166".
    EXPECT_EQ(Part(reply, 10, 58), "80 09 00 A8 C0 01 00 A8 C0 00 FF FF FF 00 00 00 00 00 00 08 D0 07 D0 07 31 39 "
                                   "32 2E 31 36 38 2E 30 2E 31 36 36 00 00 00 00 00 00 00 00 00 00 00");
}

TEST(SimFleet, NetworkWriteChangesTheAddressTheSearchReports)
{
    Fleet fleet = OneDevice(0x001122334455, 0xC0A80009);
    NetworkParams p = FactoryNetworkParams(0x0A000105); // 10.0.1.5
    const MacAddress mac = MacFromNumber(0x001122334455);
    const std::string ack = Only(fleet.Handle(BuildNetworkWriteRequest(mac, EncodeNetworkParams(p))));
    EXPECT_EQ(Part(ack, 0, 10), "55 00 07 04 00 11 22 33 44 55");
    EXPECT_EQ(Part(Only(fleet.Handle(Hex("AA 00 01 02 02"))), 8, 12), "05 01 00 0A");
}

TEST(SimFleet, MacWriteRenamesTheDeviceAndFactoryDefaultsKeepTheMac)
{
    Fleet fleet = OneDevice(0x0011AABBCCDD, 0xC0A80009);
    fleet.Handle(BuildNetworkWriteRequest(MacFromNumber(0x0011AABBCCDD), EncodeNetworkParams(NetworkParams{})));

    const std::string ack = Only(fleet.Handle(Hex("AA 00 0D 0F 00 11 AA BB CC DD 02 03 04 05 06 07 49")));
    EXPECT_EQ(Part(ack, 0, 10), "55 00 07 0F 02 03 04 05 06 07");
    EXPECT_TRUE(fleet.Handle(Hex("AA 00 07 06 00 11 AA BB CC DD 25")).empty()); // the old name is gone

    const MacAddress renamed{0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    EXPECT_EQ(fleet.Handle(BuildFactoryDefaultsRequest(renamed)).size(), 1u);
    EXPECT_EQ(fleet.Devices()[0].mac, renamed);
    EXPECT_EQ(fleet.Devices()[0].network, FactoryNetworkParams(0xC0A80009));
}

TEST(SimFleet, OnlyTheNamedDeviceAnswers)
{
    FleetOptions o;
    o.count = 3;
    Fleet fleet(o);
    const auto replies = fleet.Handle(BuildNetworkReadRequest(MacFromNumber(0x020000000002)));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].device, 1u);
    EXPECT_TRUE(fleet.Handle(BuildNetworkReadRequest(MacFromNumber(0x020000000009))).empty());
}

// A varied fleet is for people looking at the pages: the devices must differ
// where the pages show it, every value must be one the pages can show, and
// a factory reset must bring back the device's own values, not the common ones.
TEST(SimFleet, VariedDevicesDifferAndKeepValuesThePagesCanShow)
{
    FleetOptions o;
    o.count = 8;
    o.varied = true;
    Fleet fleet(o);
    std::set<uint32_t> terminals, bauds;
    std::set<uint8_t> modes, ipModes;
    std::set<uint16_t> firmwares;
    for (const Device& d : fleet.Devices()) {
        const DeviceParams& p = d.params;
        terminals.insert(p.terminalAddress);
        bauds.insert(p.baudRate);
        modes.insert(p.workMode);
        ipModes.insert(d.network.ipMode);
        firmwares.insert(d.firmware);
        EXPECT_LE(p.serverCount, 8);
        EXPECT_LT(p.workMode, 6);                 // 温湿度探头 .. 4-20mA温湿度变送器
        EXPECT_LT(p.parity, 3);
        EXPECT_GE(p.modbusTerminalCount, 1);
        EXPECT_LE(p.modbusTerminalCount, 8);
        for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
            EXPECT_GE(p.channelAddress[c], 1);
            EXPECT_LT(p.tempLowerLimit[c], p.tempUpperLimit[c]);
            EXPECT_LT(p.humidityLowerLimit[c], p.humidityUpperLimit[c]);
            EXPECT_LE(p.humidityUpperLimit[c], 1000); // 100.0 %
        }
        // The block survives the read reply's frame as it is.
        DeviceParams decoded;
        EXPECT_EQ(ParseDeviceFrame(DeviceReadReplyFrame(p), decoded), DEVICE_FUNC_READ);
        EXPECT_EQ(decoded, p);
    }
    EXPECT_EQ(terminals.size(), 8u);
    EXPECT_GE(bauds.size(), 4u);
    EXPECT_GE(modes.size(), 4u);
    EXPECT_EQ(ipModes, (std::set<uint8_t>{IP_MODE_STATIC, IP_MODE_DHCP}));
    EXPECT_GE(firmwares.size(), 2u);

    // The same fleet on every run.
    Fleet again(o);
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(again.Devices()[i].params, fleet.Devices()[i].params);

    const Device third = fleet.Devices()[2];
    ASSERT_EQ(fleet.Handle(BuildNetworkWriteRequest(third.mac, EncodeNetworkParams(NetworkParams{}))).size(), 1u);
    DeviceParams changed = third.params;
    changed.uploadInterval = 999;
    std::array<uint8_t, DEVICE_FRAME_SIZE> inner{};
    BuildDeviceFrame(inner, DEVICE_FUNC_WRITE, changed);
    ASSERT_EQ(fleet.Handle(BuildDeviceParamsRequest(third.mac, inner)).size(), 1u);
    ASSERT_EQ(fleet.Handle(BuildFactoryDefaultsRequest(third.mac)).size(), 1u);
    EXPECT_EQ(fleet.Devices()[2].network, third.network);
    EXPECT_EQ(fleet.Devices()[2].params, third.params);
    EXPECT_NE(fleet.Devices()[2].params, FactoryDeviceParams());
}

// The count a test relies on to prove that nothing was written: every
// request that would change a device counts once per device it names, and
// nothing else counts. The frames are the worked ones above.
struct WriteCount {
    const char* what;
    std::string bytes;
    uint64_t writes;
};

TEST(SimFleet, CountsWritesAndNothingElse)
{
    const std::string mac = "02 00 00 00 00 01 ";
    const std::vector<WriteCount> rows{
        {"search", "AA 00 01 02 02", 0},
        {"network read", "AA 00 07 03 " + mac + "06", 0},
        {"device read", "AA 00 0B 0A " + mac + "7E 10 21 DC 98", 0},
        {"device write", "AA 00 67 0A " + mac + kFactoryWriteFrame + " 37", 1},
        {"factory defaults", "AA 00 07 06 " + mac + "09", 1},
        {"factory defaults for another MAC", "AA 00 07 06 02 00 00 00 00 09 11", 0},
        {"device write with a spoiled checksum", "AA 00 67 0A " + mac + kFactoryWriteFrame + " 38", 0},
        {"MAC write", "AA 00 0D 0F " + mac + "02 00 00 00 00 07 1B", 1},
    };
    for (const bool storeNothing : {false, true}) {
        FleetOptions o;
        o.storeNothing = storeNothing;
        for (const WriteCount& row : rows) {
            Fleet fleet(o);
            fleet.Handle(Hex(row.bytes));
            EXPECT_EQ(fleet.Writes(), row.writes) << row.what << (storeNothing ? " (storing nothing)" : "");
        }
    }
}

struct Malformed {
    const char* bytes;
    const char* why;
};

TEST(SimFleet, IgnoresWhatIsNotAWellFormedRequest)
{
    Fleet fleet = OneDevice(0x001122334455);
    for (const Malformed& m : {Malformed{"55 00 11 02 00", ""}, // another device's reply
                               Malformed{"AA 00 01 02 03", "checksum"},
                               Malformed{"AA 00 02 02 02", "length field does not match the datagram"},
                               Malformed{"AA 00 07 03 00 11 22 33 44 55", "length field does not match the datagram"},
                               Malformed{"AA 00 07 09 00 11 22 33 44 55 08", "unknown command"},
                               Malformed{"AA 00 0B 0A 00 11 22 33 44 55 7F 10 21 DC 95", "device frame CRC"}}) {
        std::string why = "?";
        EXPECT_TRUE(fleet.Handle(Hex(m.bytes), &why).empty()) << m.bytes;
        EXPECT_EQ(why, m.why) << m.bytes;
    }
}

} // namespace

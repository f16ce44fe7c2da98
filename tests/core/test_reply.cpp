// Replies as the window and vornikctl both see them: one classifier decides
// the kind, the device, and the inner frame of device-parameter replies.
#include <gtest/gtest.h>

#include "hex.h"
#include "vectors.h"
#include "proto/net_params.h"
#include "proto/reply.h"

using namespace vornik;
using namespace vornik::test;

namespace {

const MacAddress kMac{0x02, 0x5A, 0xC3, 0x10, 0x20, 0x30};

} // namespace

namespace {

// Replies are told apart by kind and MAC; anything that fails its check
// is no reply at all, but is counted against the device that sent it.
TEST(ClassifyReply, TellsRepliesApartByKindAndMac)
{
    const std::vector<uint8_t> macBytes(kMac.begin(), kMac.end());
    std::vector<uint8_t> network = macBytes;
    network.resize(MAC_SIZE + NETWORK_PARAMS_SIZE);
    std::vector<uint8_t> shortNetwork = macBytes;
    shortNetwork.resize(MAC_SIZE + NETWORK_PARAMS_SIZE - 2); // 301 bytes with the checksum: one short
    // The write acknowledgement 7E 11 E0 1C, and the same with a spoilt CRC.
    std::vector<uint8_t> writeAck = macBytes, badAck = macBytes;
    for (uint8_t b : {0x7E, 0x11, 0xE0, 0x1C}) writeAck.push_back(b);
    for (uint8_t b : {0x7E, 0x11, 0xE0, 0x1D}) badAck.push_back(b);
    // A search reply: four unused bytes, 192.168.0.166, the MAC, firmware 100.
    const auto search = Hex("55 00 11 02 00 00 00 00 A6 00 A8 C0 02 5A C3 10 20 30 64 00 00");

    struct Case {
        Frame frame;
        ReplyKind kind;
        bool refused;
    };
    const std::vector<Case> cases = {
        {search, ReplyKind::Search, false},
        {BuildReply(CMD_READ_NETWORK, uint16_t(1 + network.size()), network), ReplyKind::NetworkRead, false},
        {BuildReply(CMD_READ_NETWORK, 0, shortNetwork), ReplyKind::None, true},
        {BuildReply(CMD_DEVICE_PARAMS, 4, writeAck), ReplyKind::DeviceWriteAck, false},
        {BuildReply(CMD_DEVICE_PARAMS_REPLY, 4, writeAck), ReplyKind::DeviceWriteAck, false},
        {BuildReply(CMD_DEVICE_PARAMS, 4, badAck), ReplyKind::None, true},
        {BuildReply(CMD_DEVICE_PARAMS, 5, writeAck), ReplyKind::None, true}, // runs past the datagram
        {BuildReply(CMD_WRITE_NETWORK, 7, macBytes), ReplyKind::NetworkWriteAck, false},
        {BuildReply(CMD_FACTORY_DEFAULTS, 7, macBytes), ReplyKind::DefaultsAck, false},
        {BuildReply(CMD_WRITE_MAC, 7, macBytes), ReplyKind::MacWriteAck, false},
        {BuildNetworkReadRequest(kMac), ReplyKind::None, false}, // the tool's own request
        {BuildReply(0x07, 7, macBytes), ReplyKind::None, false},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const ClassifiedReply reply = ClassifyReply(cases[i].frame);
        EXPECT_EQ(reply.kind, cases[i].kind) << "case " << i;
        const bool named = cases[i].kind != ReplyKind::None || cases[i].refused;
        EXPECT_EQ(reply.mac.has_value(), named) << "case " << i;
        if (reply.mac) EXPECT_EQ(*reply.mac, kMac) << "case " << i;
    }
}

// What a reply says travels with its kind, read from its own bytes: a
// handler never reads the datagram again.
TEST(ClassifyReply, CarriesWhatTheReplySays)
{
    const std::vector<uint8_t> macBytes(kMac.begin(), kMac.end());
    struct Row {
        const char* name;
        Frame frame;
        bool search, network, device;
        uint8_t function;
    };
    // A network block whose first byte (the address mode) is 0x80 and last 0x5A.
    std::vector<uint8_t> network = macBytes;
    network.resize(MAC_SIZE + NETWORK_PARAMS_SIZE);
    network[MAC_SIZE] = 0x80;
    network.back() = 0x5A;
    std::vector<uint8_t> read = macBytes;
    for (uint8_t b : Hex(std::string("7E 10 ") + kStartupBlock + " " + kStartupReadCrc)) read.push_back(b);
    std::vector<uint8_t> ack = macBytes;
    for (uint8_t b : {0x7E, 0x11, 0xE0, 0x1C}) ack.push_back(b);
    const std::vector<Row> rows = {
        {"search_reply", Hex("55 00 11 02 00 00 00 00 A6 00 A8 C0 02 5A C3 10 20 30 64 00 00"), true, false, false, 0},
        {"network_reply", BuildReply(CMD_READ_NETWORK, uint16_t(1 + network.size()), network), false, true, false, 0},
        {"device_read_reply", BuildReply(CMD_DEVICE_PARAMS_REPLY, 96, read), false, false, true, 0x10},
        {"device_write_ack", BuildReply(CMD_DEVICE_PARAMS, 4, ack), false, false, false, 0x11},
    };
    for (const Row& row : rows) {
        const ClassifiedReply r = ClassifyReply(row.frame);
        EXPECT_EQ(r.search.has_value(), row.search) << row.name;
        EXPECT_EQ(r.network.has_value(), row.network) << row.name;
        EXPECT_EQ(r.device.has_value(), row.device) << row.name;
        EXPECT_EQ(r.deviceFunction, row.function) << row.name;
        if (r.search) {
            EXPECT_EQ(r.search->ipAddress, 0xC0A800A6u) << row.name; // 192.168.0.166
            EXPECT_EQ(r.search->firmware, 100) << row.name;
        }
        if (r.network) {
            EXPECT_EQ(r.network->front(), 0x80) << row.name;
            EXPECT_EQ(r.network->back(), 0x5A) << row.name;
        }
        if (r.device) {
            // The start-up values as the worked example gives them.
            EXPECT_EQ(r.device->terminalAddress, 0x12345678u) << row.name; // shown as 12345678
            EXPECT_EQ(r.device->baudRate, 4800u) << row.name;
            EXPECT_EQ(r.device->channelAddress[7], 8) << row.name;
            EXPECT_EQ(r.device->tempUpperLimit[0], 999) << row.name;
        }
    }
}

// The one field of the outer frame sent high byte first, read only from the
// datagram's own bytes.
TEST(FrameLengthField, HighByteFirstAndNothingPastTheDatagram)
{
    EXPECT_EQ(FrameLengthField(Hex("55 01 2B")), 0x012B);
    EXPECT_EQ(FrameLengthField(Hex("AA 00 01 02 02")), 1);
    EXPECT_EQ(FrameLengthField(Hex("55 01")), 0);
    EXPECT_EQ(FrameLengthField({}), 0);
}

} // namespace

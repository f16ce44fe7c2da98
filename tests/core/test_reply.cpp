// Replies as the window and vornikctl both see them: one classifier decides
// the kind, the device, and the inner frame of device-parameter replies.
#include <gtest/gtest.h>

#include "hex.h"
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

} // namespace

// Requests and their replies on a clock of the test's own: when a request
// goes again, when it is spent, and which reply answers which request.
// (Echoes of a resent request are tested where a person sees them,
// tests/ops/test_resends.cpp; the write rounds in test_confirm.cpp.)
#include <gtest/gtest.h>

#include "engine/exchange.h"
#include "hex.h"
#include "proto/dev_params.h"

namespace vornik::test {
namespace {

using engine::Clock;
using engine::Exchange;
using Match = Exchange::Match;

const MacAddress kA{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const MacAddress kB{0x02, 0x00, 0x00, 0x00, 0x00, 0x02};

Clock::time_point At(int ms) { return Clock::time_point{} + std::chrono::milliseconds(ms); }

// A network read reply of `mac` with an empty block, as a device sends it.
std::vector<uint8_t> NetworkReply(const MacAddress& mac)
{
    std::vector<uint8_t> d = Hex("55 01 2B 03");
    d.insert(d.end(), mac.begin(), mac.end());
    d.resize(10 + 292 + 1, 0);
    return d;
}

struct Rig {
    explicit Rig(std::vector<engine::Request> requests) : exchange(std::move(requests), {})
    {
        exchange.OnEnd([this](size_t i, const engine::Outcome&) { ended.push_back(i); });
    }
    void Poll(int ms) { exchange.Poll(At(ms), [this](const Frame& f) { sent.push_back(f); }); }
    Exchange::Offered Offer(const std::vector<uint8_t>& datagram, int ms)
    {
        return exchange.Offer(ClassifyReply(datagram), Datagram{datagram}, At(ms));
    }
    Exchange exchange;
    std::vector<Frame> sent;
    std::vector<size_t> ended;
};

engine::Request ReadOf(const MacAddress& mac)
{
    return engine::Awaited(BuildNetworkReadRequest(mac), ReplyKind::NetworkRead, mac);
}

TEST(Exchange, ARequestIsSentAgainEachIntervalAndSpentAfterItsTries)
{
    // Polls at the given times (ms); the sends they make; whether it was spent.
    const struct {
        const char* name;
        std::vector<int> polls;
        size_t sends;
        bool done;
    } rows[] = {
        {"first send only", {0}, 1, false},
        {"just before the second", {0, 999}, 1, false},
        {"second at one interval", {0, 1000}, 2, false},
        {"still waiting just before three", {0, 1000, 2000, 2999}, 3, false},
        {"spent at three intervals", {0, 1000, 2000, 3000}, 3, true},
        // A poll that comes late sends once, not once per missed interval,
        // and does not move the end.
        {"a late poll sends once", {0, 2500}, 2, false},
        {"a late poll past the end sends nothing", {0, 3500}, 1, true},
    };
    for (const auto& row : rows) {
        Rig rig({ReadOf(kA)});
        for (int ms : row.polls) rig.Poll(ms);
        EXPECT_EQ(rig.sent.size(), row.sends) << row.name;
        EXPECT_EQ(rig.exchange.Done(), row.done) << row.name;
        EXPECT_EQ(rig.ended.size(), row.done ? 1u : 0u) << row.name;
    }
}

TEST(Exchange, AReplyAnswersTheRequestThatAwaitsItsKindAndMac)
{
    engine::Request search = engine::Awaited(BuildSearchRequest(), ReplyKind::Search, {});
    search.anyDevice = true;
    engine::Request newMac = engine::Awaited(BuildWriteMacRequest(kA, kB), ReplyKind::MacWriteAck, kB);
    newMac.alternativeMac = kA;
    const engine::Request deviceRead = engine::Awaited(BuildDeviceReadRequest(kA), ReplyKind::DeviceRead, kA);
    const struct {
        const char* name;
        engine::Request request;
        std::vector<uint8_t> reply;
        int at; // ms; the request left at 100
        Match match;
        int refused;
    } rows[] = {
        {"its reply", ReadOf(kA), NetworkReply(kA), 150, Match::Answered, 0},
        {"another device's", ReadOf(kA), NetworkReply(kB), 150, Match::None, 0},
        {"heard before the request left", ReadOf(kA), NetworkReply(kA), 50, Match::None, 0},
        {"another kind from the device", ReadOf(kA), Hex("55 00 0A 04 02 00 00 00 00 01 00"), 150, Match::None, 0},
        {"a search, by any device", search, Hex("55 00 11 02 00 00 00 00 64 00 A8 C0 02 00 00 00 00 09 64 00 00"), 150,
         Match::Answered, 0},
        {"a MAC write, under the old MAC", newMac, Hex("55 00 0A 0F 02 00 00 00 00 01 00"), 150, Match::Answered, 0},
        {"a device reply whose CRC is wrong", deviceRead, Hex("55 00 04 0B 02 00 00 00 00 01 7E 10 00 00 00"), 150,
         Match::None, 1},
    };
    for (const auto& row : rows) {
        Rig rig({row.request});
        rig.Poll(100);
        EXPECT_EQ(rig.Offer(row.reply, row.at).match, row.match) << row.name;
        EXPECT_EQ(rig.exchange.Done(), row.match == Match::Answered) << row.name;
        EXPECT_EQ(rig.exchange.Outcomes()[0].refused, row.refused) << row.name;
    }
}

} // namespace
} // namespace vornik::test

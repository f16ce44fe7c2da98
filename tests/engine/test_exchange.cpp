// Requests and their replies on a clock of the test's own: when a request
// goes again, when it is spent, and which reply answers which request.
#include <gtest/gtest.h>

#include "engine/exchange.h"
#include "proto/dev_params.h"
#include "hex.h"

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
    explicit Rig(std::vector<engine::Request> requests, engine::Pacing pacing = {}) : exchange(std::move(requests), pacing)
    {
        exchange.OnEnd([this](size_t i, const engine::Outcome&) { ended.push_back(i); });
    }
    void Poll(int ms) { exchange.Poll(At(ms), [this](const Frame& f) { sent.push_back(f); }); }
    Exchange::Offered Offer(const std::vector<uint8_t>& datagram, int ms)
    {
        Datagram d;
        d.bytes = datagram;
        return exchange.Offer(ClassifyReply(datagram), d, At(ms));
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
    // Polls at the given times (ms); the sends they make; when it was spent.
    const struct {
        const char* name;
        std::vector<int> polls;
        size_t sends;
        bool done;
    } rows[] = {
        {"first send only", {0}, 1, false},
        {"just before the second", {0, 999}, 1, false},
        {"second at one interval", {0, 1000}, 2, false},
        {"third at two", {0, 1000, 2000}, 3, false},
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
        EXPECT_EQ(rig.exchange.Outcomes()[0].reply.has_value(), false) << row.name;
    }
}

TEST(Exchange, AReplyAnswersTheRequestThatAwaitsItsKindAndMac)
{
    const struct {
        const char* name;
        std::vector<uint8_t> reply;
        int at;        // ms; the request left at 100
        Match match;
    } rows[] = {
        {"its reply", NetworkReply(kA), 150, Match::Answered},
        {"another device's", NetworkReply(kB), 150, Match::None},
        {"heard before the request left", NetworkReply(kA), 50, Match::None},
        {"another kind from the device", Hex("55 00 0A 04 02 00 00 00 00 01 00"), 150, Match::None},
    };
    for (const auto& row : rows) {
        Rig rig({ReadOf(kA)});
        rig.Poll(100);
        EXPECT_EQ(rig.Offer(row.reply, row.at).match, row.match) << row.name;
        EXPECT_EQ(rig.exchange.Done(), row.match == Match::Answered) << row.name;
    }
}

TEST(Exchange, TheAnswerToAnEarlierSendIsADuplicateUntilTheRequestWouldHaveEnded)
{
    Rig rig({ReadOf(kA)});
    rig.Poll(0);
    rig.Poll(1000);
    EXPECT_EQ(rig.Offer(NetworkReply(kA), 1100).match, Match::Answered);
    EXPECT_EQ(rig.Offer(NetworkReply(kA), 1200).match, Match::Duplicate);
    rig.Poll(3000);
    EXPECT_EQ(rig.Offer(NetworkReply(kA), 3100).match, Match::None);

    // Sent once: a second reply is the device's own, not an echo.
    Rig once({ReadOf(kA)});
    once.Poll(0);
    EXPECT_EQ(once.Offer(NetworkReply(kA), 100).match, Match::Answered);
    EXPECT_EQ(once.Offer(NetworkReply(kA), 200).match, Match::None);
}

TEST(Exchange, RequestsSentOnceAreNeitherWaitedForNorResent)
{
    Rig rig({engine::SentOnce(BuildFactoryDefaultsRequest(kA), ReplyKind::DefaultsAck, kA), ReadOf(kA)});
    rig.Poll(0);
    ASSERT_EQ(rig.sent.size(), 2u);
    EXPECT_EQ(rig.sent[0], BuildFactoryDefaultsRequest(kA)); // in the order given
    rig.Poll(1000);
    EXPECT_EQ(rig.sent.size(), 3u);
    EXPECT_EQ(rig.sent[2], BuildNetworkReadRequest(kA));
    EXPECT_EQ(rig.Offer(NetworkReply(kA), 1100).match, Match::Answered);
    EXPECT_TRUE(rig.exchange.Done());
    EXPECT_EQ(rig.ended, std::vector<size_t>{1});
    rig.exchange.Close();
    EXPECT_EQ(rig.ended, (std::vector<size_t>{1, 0}));
    EXPECT_FALSE(rig.exchange.Answered(0));
}

TEST(Exchange, NoMoreAwaitedRequestsInFlightThanTheWindow)
{
    std::vector<engine::Request> reads;
    for (uint8_t k = 1; k <= 5; ++k) reads.push_back(ReadOf({0x02, 0, 0, 0, 0, k}));
    Rig rig(reads, {3, std::chrono::milliseconds(1000), 2});
    rig.Poll(0);
    EXPECT_EQ(rig.sent.size(), 2u);
    EXPECT_FALSE(rig.exchange.HasRoom());
    EXPECT_EQ(rig.Offer(NetworkReply({0x02, 0, 0, 0, 0, 2}), 10).match, Match::Answered);
    EXPECT_TRUE(rig.exchange.HasRoom());
    rig.Poll(20);
    ASSERT_EQ(rig.sent.size(), 3u);
    EXPECT_EQ(rig.sent[2], BuildNetworkReadRequest({0x02, 0, 0, 0, 0, 3}));
}

TEST(Exchange, ASearchIsAnsweredByAnyDeviceAndAMacWriteByEitherMac)
{
    engine::Request search = engine::Awaited(BuildSearchRequest(), ReplyKind::Search, {});
    search.anyDevice = true;
    Rig rig({search});
    rig.Poll(0);
    const auto found = Hex("55 00 11 02 00 00 00 00 64 00 A8 C0 02 00 00 00 00 09 64 00 00");
    EXPECT_EQ(rig.Offer(found, 10).match, Match::Answered);

    engine::Request mac = engine::Awaited(BuildWriteMacRequest(kA, kB), ReplyKind::MacWriteAck, kB);
    mac.alternativeMac = kA;
    Rig write({mac});
    write.Poll(0);
    EXPECT_EQ(write.Offer(Hex("55 00 0A 0F 02 00 00 00 00 01 00"), 10).match, Match::Answered);
}

TEST(Exchange, AReplyThatFailsItsCheckIsCountedAgainstTheDevice)
{
    engine::Request read = engine::Awaited(BuildDeviceReadRequest(kA), ReplyKind::DeviceRead, kA);
    Rig rig({read});
    rig.Poll(0);
    // A device reply whose inner frame's CRC is wrong.
    const auto bad = Hex("55 00 04 0B 02 00 00 00 00 01 7E 10 00 00 00");
    EXPECT_EQ(rig.Offer(bad, 10).match, Match::None);
    EXPECT_EQ(rig.exchange.Outcomes()[0].refused, 1);
}

} // namespace
} // namespace vornik::test

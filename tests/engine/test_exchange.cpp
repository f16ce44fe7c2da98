// Requests and their replies on a clock of the test's own: when a request
// goes again, when it is spent, and which reply answers which request.
// (Echoes of a resent request are tested where a person sees them,
// tests/ops/test_resends.cpp; the write rounds in test_confirm.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

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

// A request sent more than once may be answered once per send: the replies
// after the first are its echoes until its last try would have been spent
// (three tries a second apart from 0 ms: until 3,000 ms). One sent once has none.
// A reply after a send again also says the LAN lost a datagram (or the
// device was late): the exchange counts each such request once, its echoes,
// a request never answered and a reply that came before the send again was
// due (though taken after it) not at all.
TEST(Exchange, AResentRequestsLaterRepliesAreItsEchoesUntilItsTriesAreSpent)
{
    const struct {
        const char* name;
        std::vector<int> polls;  // before the replies
        std::vector<int> offers; // the same reply, at these times
        std::vector<Match> matches;
        size_t answeredOnRetry;
    } rows[] = {
        {"sent once: a second reply is no echo", {0}, {10, 20}, {Match::Answered, Match::None}, 0},
        {"sent twice: the second reply is an echo", {0, 1000}, {1010, 1020}, {Match::Answered, Match::Duplicate}, 1},
        {"sent three times", {0, 1000, 2000}, {2010, 2500, 2999}, {Match::Answered, Match::Duplicate, Match::Duplicate}, 1},
        {"an echo heard after the tries' end", {0, 1000}, {1010, 3000}, {Match::Answered, Match::None}, 1},
        {"heard before its send again, taken after it", {0, 1000}, {990, 1010}, {Match::Answered, Match::Duplicate}, 0},
        {"never answered", {0, 1000, 2000, 3000}, {}, {}, 0},
    };
    for (const auto& row : rows) {
        Rig rig({ReadOf(kA)});
        for (int ms : row.polls) rig.Poll(ms);
        std::vector<Match> got;
        for (int ms : row.offers) {
            if (ms >= 3000) rig.Poll(ms);
            got.push_back(rig.Offer(NetworkReply(kA), ms).match);
        }
        EXPECT_EQ(got, row.matches) << row.name;
        EXPECT_EQ(rig.exchange.AnsweredOnRetry(), row.answeredOnRetry) << row.name;
    }
}

// An exchange that hands its outcomes over: what each index was given, and
// whether its frame could still be read when it was.
struct HandingRig {
    HandingRig(std::vector<engine::Request> requests, engine::Pacing pacing)
        : exchange(std::move(requests), pacing, [this](size_t i, engine::Outcome&& o) {
              handed.push_back({i, std::move(o), !exchange.RequestAt(i).frame.empty()});
          })
    {
    }
    void Poll(int ms) { exchange.Poll(At(ms), [](const Frame&) {}); }
    void Offer(const std::vector<uint8_t>& datagram, int ms)
    {
        exchange.Offer(ClassifyReply(datagram), Datagram{datagram}, At(ms));
    }
    struct Handed {
        size_t index;
        engine::Outcome outcome;
        bool frameThere;
    };
    Exchange exchange;
    std::vector<Handed> handed;
};

TEST(Exchange, HandingOverGivesEachRequestItsOutcomeOnceHoweverItEnds)
{
    // An acknowledgement of a network write from kA, as a device sends it.
    const std::vector<uint8_t> ackA = Hex("55 00 0A 04 02 00 00 00 00 01 00");
    const auto writeOf = [](const MacAddress& mac) {
        return engine::SentOnce(BuildNetworkWriteRequest(mac, std::vector<uint8_t>(292, 0)), ReplyKind::NetworkWriteAck,
                                mac);
    };
    struct Expect {
        bool answered;
        int sent;
    };
    const struct {
        const char* name;
        std::vector<engine::Request> requests;
        size_t window;
        std::function<void(HandingRig&)> run; // what happens before Close
        std::vector<Expect> expect;           // by index
        std::vector<size_t> order;            // the order they are handed in
        size_t cut;
    } rows[] = {
        {"answered, spent, an acknowledged write and a silent one",
         {ReadOf(kA), ReadOf(kB), writeOf(kA), writeOf(kB)},
         64,
         [&](HandingRig& rig) {
             rig.Poll(0);
             rig.Offer(NetworkReply(kA), 10);
             rig.Offer(ackA, 20);
             rig.Poll(1000);
             rig.Poll(2000);
             rig.Poll(3000);
         },
         {{true, 1}, {false, 3}, {true, 1}, {false, 1}},
         {0, 2, 1, 3},
         0},
        {"stopped while a read is in flight", {ReadOf(kA)}, 64, [](HandingRig& rig) { rig.Poll(0); }, {{false, 1}}, {0}, 1},
        {"stopped before the second read could go",
         {ReadOf(kA), ReadOf(kB)},
         1,
         [](HandingRig& rig) { rig.Poll(0); },
         {{false, 1}, {false, 0}},
         {0, 1},
         2},
        {"nothing polled at all", {ReadOf(kA), writeOf(kB)}, 64, [](HandingRig&) {}, {{false, 0}, {false, 0}}, {0, 1}, 2},
    };
    for (const auto& row : rows) {
        engine::Pacing pacing;
        pacing.window = row.window;
        HandingRig rig(row.requests, pacing);
        row.run(rig);
        rig.exchange.Close();
        ASSERT_EQ(rig.handed.size(), row.expect.size()) << row.name;
        for (size_t n = 0; n < rig.handed.size(); ++n) {
            const auto& h = rig.handed[n];
            EXPECT_EQ(h.index, row.order[n]) << row.name << ", handed #" << n;
            ASSERT_LT(h.index, row.expect.size()) << row.name;
            EXPECT_EQ(h.outcome.reply.has_value(), row.expect[h.index].answered) << row.name << ", request " << h.index;
            EXPECT_EQ(h.outcome.sent, row.expect[h.index].sent) << row.name << ", request " << h.index;
            EXPECT_TRUE(h.frameThere) << row.name << ": request " << h.index << " lost its frame before its owner saw it";
        }
        EXPECT_EQ(rig.exchange.Cut(), row.cut) << row.name;
        EXPECT_TRUE(rig.exchange.Outcomes().empty()) << row.name << ": handed over, yet kept";
        // Handed over is let go: the frames are not held for the rest of the batch.
        for (size_t i = 0; i < row.requests.size(); ++i) {
            EXPECT_TRUE(rig.exchange.RequestAt(i).frame.empty()) << row.name << ", request " << i;
            EXPECT_FALSE(rig.exchange.Answered(i)) << row.name << ", request " << i << ": its outcome went to its owner";
        }
    }
}

} // namespace
} // namespace vornik::test

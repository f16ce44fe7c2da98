// A write's rounds through a real exchange, against a device that answers as
// each row says: acknowledged or not, read back as written, otherwise, or
// never. The word each ends with is the one vornikctl prints and the window's
// read-back line follows, so a failure path that ends "confirmed" is a device
// reported configured that is not.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/confirm.h"

namespace vornik::test {
namespace {

using engine::Next;
using engine::Result;
using settings::Block;

const MacAddress kMac{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const MacAddress kNewMac{0x02, 0x00, 0x00, 0x00, 0x00, 0x09};

NetworkParams Network(uint16_t port)
{
    NetworkParams p{};
    p.ipAddress = 0xC0A80064;
    p.subnetMask = 0xFFFFFF00;
    p.servers[0].targetPort = port;
    return p;
}

DeviceParams Device(uint32_t baud)
{
    DeviceParams p{};
    p.baudRate = baud;
    p.dataBits = 8;
    p.stopBits = 1;
    return p;
}

// What the device gives back for a block.
enum class Back { AsWritten, Other, None };

struct DeviceRound {
    bool ackNetwork = false, ackDevice = false; // the write's acknowledgement (the reset's: ackNetwork)
    Back network = Back::None, device = Back::None;
};

ClassifiedReply Reply(ReplyKind kind, const MacAddress& mac)
{
    ClassifiedReply r;
    r.kind = kind;
    r.mac = mac;
    return r;
}

// One round of `requests` through an exchange: sent at 0, answered at 10 as
// `round` says (`held` are the blocks it gives back as written), spent at 10 s.
std::vector<engine::Outcome> RunRound(const std::vector<engine::Request>& requests, const DeviceRound& round,
                                      const engine::Written& held, const engine::Written& other)
{
    using namespace std::chrono_literals;
    engine::Exchange exchange(requests, {});
    const auto t0 = engine::Clock::time_point{};
    const auto none = [](const Frame&) {};
    exchange.Poll(t0, none);
    for (const engine::Request& r : requests) {
        ClassifiedReply reply = Reply(r.expect, r.mac);
        bool answers = false;
        switch (r.expect) {
        case ReplyKind::NetworkWriteAck:
        case ReplyKind::DefaultsAck: answers = round.ackNetwork; break;
        case ReplyKind::DeviceWriteAck: answers = round.ackDevice; break;
        case ReplyKind::NetworkRead:
            answers = round.network != Back::None;
            if (answers) reply.network = EncodeNetworkParams(round.network == Back::AsWritten ? *held.network : *other.network);
            break;
        case ReplyKind::DeviceRead:
            answers = round.device != Back::None;
            if (answers) reply.device = round.device == Back::AsWritten ? *held.device : *other.device;
            break;
        default: break;
        }
        if (answers) exchange.Offer(reply, Datagram{}, t0 + 10ms);
    }
    exchange.Poll(t0 + 10s, none);
    exchange.Close();
    return exchange.Outcomes();
}

struct WriteRow {
    const char* name;
    bool network, device; // the blocks written
    std::vector<DeviceRound> rounds;
    Result word;
    int roundsWritten;
    std::optional<Block> missing; // the read-back that never came
    bool differs = false;         // the last read-back differs from what was written
};

TEST(ConfirmedWrite, EndsWithTheWordTheDeviceEarned)
{
    const DeviceRound asWritten{true, true, Back::AsWritten, Back::AsWritten};
    const DeviceRound differs{true, true, Back::Other, Back::Other};
    const WriteRow rows[] = {
        {"network, read back as written", true, false, {asWritten}, Result::Confirmed, 1},
        {"network, read back as written, never acknowledged", true, false, {{false, false, Back::AsWritten}},
         Result::Confirmed, 1},
        {"network, acknowledged, never read back", true, false, {{true, false, Back::None}}, Result::Written, 1,
         Block::Network},
        {"network, silent device", true, false, {{}}, Result::NotConfirmed, 1, Block::Network},
        {"device, differs once, then holds", false, true, {differs, asWritten}, Result::Confirmed, 2},
        {"device, differs every round", false, true, {differs, differs, differs}, Result::NotConfirmed, 3,
         std::nullopt, true},
        {"device, differs, then never read back", false, true, {differs, {true, true}}, Result::Written, 2,
         Block::Device},
        {"both, only the network write acknowledged, never read back", true, true, {{true, false}},
         Result::NotConfirmed, 1, Block::Network},
        {"both, both acknowledged, the device read-back missing", true, true,
         {{true, true, Back::AsWritten, Back::None}}, Result::Written, 1, Block::Device},
        {"both, read back as written", true, true, {asWritten}, Result::Confirmed, 1},
        // A round whose read-back is not whole is no ground for writing again,
        // whatever the block that did come says.
        {"both, the network read back otherwise, the device read-back missing", true, true,
         {{true, true, Back::Other, Back::None}}, Result::Written, 1, Block::Device},
    };
    const engine::Written held{Network(2001), Device(9600)};
    const engine::Written other{Network(2999), Device(4800)};
    for (const WriteRow& row : rows) {
        engine::ConfirmedWrite write(kMac, {row.network ? held.network : std::nullopt, row.device ? held.device : std::nullopt},
                                     3);
        Next next = Next::WriteAgain;
        size_t round = 0;
        while (next == Next::WriteAgain) {
            ASSERT_LT(round, row.rounds.size()) << row.name << ": wrote a round more than the device was given";
            next = write.Take(RunRound(write.NextRound(), row.rounds[round++], held, other));
        }
        EXPECT_EQ(round, row.rounds.size()) << row.name;
        EXPECT_EQ(write.Word(), row.word) << row.name;
        EXPECT_EQ(write.Round(), row.roundsWritten) << row.name;
        EXPECT_EQ(write.MissingRead().has_value(), row.missing.has_value()) << row.name;
        if (row.missing && write.MissingRead()) EXPECT_EQ(write.MissingRead()->block, *row.missing) << row.name;
        if (!write.MissingRead()) EXPECT_EQ(!write.Differences().empty(), row.differs) << row.name;
    }
}

TEST(ConfirmedWrite, EachRoundSendsTheWritesOnceThenAwaitsTheReads)
{
    engine::ConfirmedWrite write(kMac, {Network(2001), Device(9600)}, 3);
    const std::vector<engine::Request> round = write.NextRound();
    const struct {
        ReplyKind expect;
        bool awaited;
    } want[] = {{ReplyKind::NetworkWriteAck, false},
                {ReplyKind::DeviceWriteAck, false},
                {ReplyKind::NetworkRead, true},
                {ReplyKind::DeviceRead, true}};
    ASSERT_EQ(round.size(), std::size(want));
    for (size_t k = 0; k < round.size(); ++k) {
        EXPECT_EQ(round[k].expect, want[k].expect) << k;
        EXPECT_EQ(round[k].awaited, want[k].awaited) << k;
        EXPECT_EQ(round[k].mac, kMac) << k;
    }
}

struct ResetRow {
    const char* name;
    std::vector<DeviceRound> rounds; // Back::AsWritten: the blocks as before; Other: factory values
    Result word;
    int roundsSent;
    bool changed;
};

TEST(FactoryReset, EndsWithTheWordTheDeviceEarned)
{
    const DeviceRound same{false, false, Back::AsWritten, Back::AsWritten};
    const DeviceRound reset{false, false, Back::Other, Back::Other};
    const ResetRow rows[] = {
        {"blocks changed, never acknowledged", {reset}, Result::Confirmed, 1, true},
        {"acknowledged, blocks unchanged", {{true, false, Back::AsWritten, Back::AsWritten}}, Result::Acknowledged, 1,
         false},
        {"neither, every round", {same, same, same}, Result::NotConfirmed, 3, false},
        {"unchanged once, then changed", {same, reset}, Result::Confirmed, 2, true},
        {"acknowledged, never read after", {{true, false}}, Result::Written, 1, false},
        {"silent device", {{}}, Result::NotConfirmed, 1, false},
        {"only the device block changed", {{false, false, Back::AsWritten, Back::Other}}, Result::Confirmed, 1, true},
    };
    const engine::Written before{Network(2001), Device(9600)};
    const engine::Written factory{Network(2000), Device(4800)};
    for (const ResetRow& row : rows) {
        engine::FactoryReset write(kMac, *before.network, *before.device, 3);
        Next next = Next::WriteAgain;
        size_t round = 0;
        while (next == Next::WriteAgain) {
            ASSERT_LT(round, row.rounds.size()) << row.name << ": sent a round more than the device was given";
            next = write.Take(RunRound(write.NextRound(), row.rounds[round++], before, factory));
        }
        EXPECT_EQ(round, row.rounds.size()) << row.name;
        EXPECT_EQ(write.Word(), row.word) << row.name;
        EXPECT_EQ(write.Round(), row.roundsSent) << row.name;
        EXPECT_EQ(write.Changed(), row.changed) << row.name;
    }
}

struct MacRow {
    const char* name;
    std::vector<std::optional<ClassifiedReply>> heard; // per round, during its search
    int foundInRound;                                  // 0: never
    Result word;
    int rounds;
};

TEST(MacWrite, EndsWithTheWordTheDeviceEarned)
{
    const ClassifiedReply ackOld = Reply(ReplyKind::MacWriteAck, kMac);
    const ClassifiedReply ackNew = Reply(ReplyKind::MacWriteAck, kNewMac);
    const ClassifiedReply otherKind = Reply(ReplyKind::NetworkWriteAck, kNewMac);
    const ClassifiedReply otherDevice = Reply(ReplyKind::MacWriteAck, MacAddress{0x02, 0, 0, 0, 0, 0x07});
    const MacRow rows[] = {
        {"found at once", {std::nullopt}, 1, Result::Confirmed, 1},
        {"found in the second round", {std::nullopt, std::nullopt}, 2, Result::Confirmed, 2},
        {"acknowledged under the old MAC, never found", {ackOld, std::nullopt, std::nullopt}, 0, Result::Written, 3},
        {"acknowledged under the new MAC, never found", {ackNew, std::nullopt, std::nullopt}, 0, Result::Written, 3},
        {"another command's acknowledgement", {otherKind, otherKind, otherKind}, 0, Result::NotConfirmed, 3},
        {"another device's acknowledgement", {otherDevice, otherDevice, otherDevice}, 0, Result::NotConfirmed, 3},
    };
    for (const MacRow& row : rows) {
        engine::MacWrite write(kMac, kNewMac, 3);
        Next next = Next::WriteAgain;
        size_t round = 0;
        while (next == Next::WriteAgain) {
            ASSERT_LT(round, row.heard.size()) << row.name;
            const engine::Request frame = write.NextRound();
            EXPECT_FALSE(frame.awaited) << row.name;
            if (row.heard[round]) write.Heard(*row.heard[round]);
            ++round;
            next = write.Searched(int(round) == row.foundInRound);
        }
        EXPECT_EQ(write.Word(), row.word) << row.name;
        EXPECT_EQ(write.Round(), row.rounds) << row.name;
    }
}

// A block is taken for a write only when another read of it agrees byte for
// byte; a byte no field shows counts as much as the address.
TEST(ReadsAgree, OnlyEveryByteOfEveryBlockReadAlike)
{
    NetworkParams carried = Network(4001);
    carried.carriedBytes[5] = 0x01;
    NetworkParams server8 = Network(4001);
    server8.servers[7].targetAddress[29] = 'x';
    DeviceParams channel = Device(9600);
    channel.tempUpperLimit[CHANNEL_COUNT - 1] = 1;
    const struct {
        const char* name;
        engine::Written read, other;
        bool agree;
    } rows[] = {
        {"network alike", {Network(4001), {}}, {Network(4001), {}}, true},
        {"both blocks alike", {Network(4001), Device(9600)}, {Network(4001), Device(9600)}, true},
        {"the other read holds more blocks", {Network(4001), {}}, {Network(4001), Device(9600)}, true},
        {"a carried byte differs", {Network(4001), {}}, {carried, {}}, false},
        {"the last byte of server 8's address differs", {Network(4001), {}}, {server8, {}}, false},
        {"a target port differs", {Network(4001), {}}, {Network(4002), {}}, false},
        {"the device block differs in its last channel", {Network(4001), Device(9600)}, {Network(4001), channel}, false},
        {"the network block missing from the other", {Network(4001), Device(9600)}, {{}, Device(9600)}, false},
        {"the device block missing from the other", {{}, Device(9600)}, {Network(4001), {}}, false},
        {"nothing read", {}, {Network(4001), Device(9600)}, false},
    };
    for (const auto& row : rows) EXPECT_EQ(engine::ReadsAgree(row.read, row.other), row.agree) << row.name;
}

// A network block is whole only in a reply as long as its frame: 302 bytes,
// or 303 with the trailing sum a device need not send.
TEST(Gather, TellsANetworkReplyLongerThanItsFrame)
{
    const struct {
        size_t size;
        bool whole;
    } rows[] = {{302, true}, {303, true}, {304, false}, {400, false}, {1472, false}};
    for (const auto& row : rows) {
        const std::vector<engine::Request> reads = engine::ReadRequests(kMac, true, false);
        std::vector<uint8_t> bytes(row.size, 0);
        bytes[0] = 0x55;
        bytes[3] = 0x03;
        std::copy(kMac.begin(), kMac.end(), bytes.begin() + 4);
        engine::Outcome outcome;
        outcome.answer = ClassifyReply(bytes);
        ASSERT_EQ(outcome.answer->kind, ReplyKind::NetworkRead) << row.size;
        outcome.reply = Datagram{};
        outcome.reply->bytes = bytes;
        const engine::RoundReplies got = engine::Gather(reads, {&outcome, 1});
        EXPECT_TRUE(got.blocks.network.has_value()) << row.size;
        EXPECT_EQ(got.networkWhole, row.whole) << row.size;
    }
}

TEST(RoundFold, TellsARoundAlikeInWhateverOrderItsRequestsEnd)
{
    // A round as a write sends it: both writes once, then both reads. The
    // outcomes as they came; what the round said is fixed by the round's
    // order: the first read missing, the address of the last read answered.
    const std::vector<engine::Request> round = [] {
        engine::ConfirmedWrite write(kMac, {Network(502), Device(9600)}, 3);
        return write.NextRound();
    }();
    ASSERT_EQ(round.size(), 4u);
    const auto answered = [](ReplyKind kind, uint32_t from) {
        engine::Outcome o;
        o.sent = 1;
        o.answer = Reply(kind, kMac);
        if (kind == ReplyKind::NetworkRead) o.answer->network = EncodeNetworkParams(Network(502));
        if (kind == ReplyKind::DeviceRead) o.answer->device = Device(9600);
        o.reply = Datagram{};
        o.reply->bytes.resize(kind == ReplyKind::NetworkRead ? NETWORK_REPLY_SIZE : 20);
        o.reply->sourceAddress = from;
        return o;
    };
    const auto silent = [](int sent, int refused) {
        engine::Outcome o;
        o.sent = sent;
        o.refused = refused;
        return o;
    };
    const struct {
        const char* name;
        std::vector<engine::Outcome> outcomes; // in the round's order
        size_t answeredWrites;
        std::optional<Block> missing;
        int missingSent, missingRefused;
        uint32_t address;
    } rows[] = {
        {"both reads answered, from two addresses",
         {answered(ReplyKind::NetworkWriteAck, 1), silent(1, 0), answered(ReplyKind::NetworkRead, 0x0A000001),
          answered(ReplyKind::DeviceRead, 0x0A000002)},
         1, std::nullopt, 0, 0, 0x0A000002},
        {"neither read answered",
         {silent(1, 0), silent(1, 0), silent(3, 2), silent(2, 0)},
         0, Block::Network, 3, 2, 0},
        {"only the device read missing",
         {answered(ReplyKind::NetworkWriteAck, 1), answered(ReplyKind::DeviceWriteAck, 1),
          answered(ReplyKind::NetworkRead, 0x0A000001), silent(3, 1)},
         2, Block::Device, 3, 1, 0x0A000001},
    };
    for (const auto& row : rows) {
        std::vector<size_t> order{0, 1, 2, 3};
        do {
            engine::RoundFold fold;
            for (size_t k : order) fold.Add(k, round[k], row.outcomes[k]);
            const engine::RoundReplies& got = fold.Replies();
            std::string as = row.name + std::string(", ended in the order");
            for (size_t k : order) as += " " + std::to_string(k);
            EXPECT_EQ(got.sentOnce, 2u) << as;
            EXPECT_EQ(got.answered, row.answeredWrites) << as;
            ASSERT_EQ(got.missing.has_value(), row.missing.has_value()) << as;
            if (row.missing) {
                EXPECT_EQ(got.missing->block, *row.missing) << as;
                EXPECT_EQ(got.missing->sent, row.missingSent) << as;
                EXPECT_EQ(got.missing->refused, row.missingRefused) << as;
            }
            if (row.address) EXPECT_EQ(got.address, row.address) << as;
        } while (std::next_permutation(order.begin(), order.end()));
    }
}

TEST(ConfirmedWrite, HeardOneOutcomeAtATimeEndsAsTakenWhole)
{
    // The write's last round, answered as written, heard last request first.
    engine::ConfirmedWrite write(kMac, {Network(502), Device(9600)}, 1);
    const std::vector<engine::Request> requests = write.NextRound();
    const std::vector<engine::Outcome> outcomes =
        RunRound(requests, {true, true, Back::AsWritten, Back::AsWritten}, write.Want(), write.Want());
    for (size_t k = outcomes.size(); k-- > 0;) write.Hear(k, outcomes[k]);
    EXPECT_EQ(write.Settle(), Next::Settled);
    EXPECT_EQ(write.Word(), Result::Confirmed);
    EXPECT_TRUE(write.Acknowledged());
    ASSERT_TRUE(write.ReadBack().has_value());
    EXPECT_EQ(write.ReadBack()->network->servers[0].targetPort, 502);
}

} // namespace
} // namespace vornik::test

// The UDP link on loopback: start-up and endpoint messages, the slot rules,
// sending through every open slot, and the hand-over of received datagrams.
#include <atomic>
#include <set>
#include <thread>

#include "hex.h"
#include "link_fixture.h"

using namespace vornik;
using namespace vornik::test;

namespace {

const std::string kSocketError = Gbk("套接字错误,请检查错误并重新打开软件");
const std::string kRule1 = Gbk("设置规则失败1");
const std::string kRule2 = Gbk("设置规则失败2");
const std::string kEndpointSocket = Gbk("套接字创建失败");
const std::string kEndpointRule = Gbk("设置socket规则失败");
const std::string kEndpointRule2 = Gbk("设置socket规则失败2");
const std::string kPortInUse = Gbk("端口被占用");
const Bytes kSearch = Hex("AA 00 01 02 02");

std::string BindMessage(int error) { return Gbk("绑定SOCKET出错 -1  错误代码 " + std::to_string(error)); }

// Refuses one socket option and sets the others.
SocketCalls FailingSetsockopt(int optionName)
{
    SocketCalls c;
    c.setsockopt = [optionName](int fd, int level, int name, const void* v, socklen_t n) {
        if (name == optionName) return errno = ENOPROTOOPT, -1;
        return ::setsockopt(fd, level, name, v, n);
    };
    return c;
}

struct StartCase {
    const char* name;
    SocketCalls calls;
    std::vector<std::string> expected;
};

SocketCalls FailingFirstSocket()
{
    SocketCalls c;
    c.socket = [](int, int, int) { return errno = EMFILE, -1; };
    return c;
}

SocketCalls FailingBind()
{
    SocketCalls c;
    c.bind = [](int, const sockaddr*, socklen_t) { return errno = EADDRINUSE, -1; };
    return c;
}

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class LinkStart : public LinkTest, public testing::WithParamInterface<StartCase> {};

TEST_P(LinkStart, ShowsItsMessagesInOrderAndGoesOn)
{
    calls = GetParam().calls;
    auto link = MakeLink();
    link->Start();
    EXPECT_EQ(messages, GetParam().expected);
    for (const EndpointSlot& s : link->Slots()) EXPECT_FALSE(s.open);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, LinkStart,
    testing::Values(StartCase{"NothingFails", {}, {}},
                    // Every later step still runs, so both option messages follow.
                    StartCase{"NoReceiveSocket", FailingFirstSocket(), {kSocketError, kRule1, kRule2}},
                    StartCase{"BroadcastRefused", FailingSetsockopt(SO_BROADCAST), {kRule1}},
                    StartCase{"ReuseRefused", FailingSetsockopt(SO_REUSEADDR), {kRule2}},
                    StartCase{"BindRefusedSilently", FailingBind(), {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct EndpointCase {
    const char* name;
    SocketCalls calls;
    std::string expected;
    bool keepsSocket; // the failed slot still holds its socket
};

void PrintTo(const EndpointCase& c, std::ostream* os) { *os << c.name; }

class EndpointFailure : public LinkTest, public testing::WithParamInterface<EndpointCase> {};

TEST_P(EndpointFailure, LeavesTheSlotClosed)
{
    calls = GetParam().calls;
    auto link = MakeLink();
    link->OpenEndpoints();
    EXPECT_EQ(messages, std::vector<std::string>{GetParam().expected});
    EXPECT_FALSE(link->Slots()[0].open);
    EXPECT_EQ(link->Slots()[0].socket >= 0, GetParam().keepsSocket);

    // A slot that is not open is never sent through.
    messages.clear();
    link->SendFrame(kSearch.data(), kSearch.size());
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, EndpointFailure,
    testing::Values(EndpointCase{"Socket", FailingFirstSocket(), kEndpointSocket, false},
                    EndpointCase{"Broadcast", FailingSetsockopt(SO_BROADCAST), kEndpointRule, true},
                    EndpointCase{"Reuse", FailingSetsockopt(SO_REUSEADDR), kEndpointRule2, true},
                    EndpointCase{"Bind", FailingBind(), BindMessage(EADDRINUSE), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkTest, AnAddressOfAnotherHostFailsToBindWithTheSystemsError)
{
    addresses = {0xCB007109, Loopback(2)}; // 203.0.113.9, a documentation address no host here has
    auto link = MakeLink();
    link->OpenEndpoints();
    if (link->Slots()[0].open) GTEST_SKIP() << "this system binds to non-local addresses";
    EXPECT_EQ(messages, std::vector<std::string>{BindMessage(EADDRNOTAVAIL)});
    EXPECT_EQ(ntohl(link->Slots()[0].localAddress.sin_addr.s_addr), 0xCB007109u);
    EXPECT_TRUE(link->Slots()[1].open);

    // The next search tries the failed slot again and keeps the good one.
    const int kept = link->Slots()[1].socket;
    messages.clear();
    addresses = {Loopback(3), Loopback(2)};
    link->OpenEndpoints();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(link->Slots()[0].open);
    EXPECT_EQ(link->Slots()[1].socket, kept);
}

// Slot rules, counting the sockets the link creates.
class SlotRules : public LinkTest {
protected:
    int created = 0;
    void SetUp() override
    {
        calls.socket = [this](int d, int t, int p) {
            ++created;
            return ::socket(d, t, p);
        };
    }
    static uint32_t AddressOf(const EndpointSlot& s) { return ntohl(s.localAddress.sin_addr.s_addr); }
};

TEST_F(SlotRules, MoreThanTenAddressesOpenTheFirstTen)
{
    addresses.clear();
    for (uint8_t n = 2; n < 14; ++n) addresses.push_back(Loopback(n));
    auto link = MakeLink();
    link->OpenEndpoints();
    EXPECT_EQ(created, 10);
    for (size_t i = 0; i < ENDPOINT_SLOT_COUNT; ++i) {
        EXPECT_TRUE(link->Slots()[i].open);
        EXPECT_EQ(AddressOf(link->Slots()[i]), addresses[i]);
        EXPECT_EQ(ntohs(link->Slots()[i].localAddress.sin_port), port);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(SlotRules, SameAddressesKeepTheirSocketsAndChangedOnesAreRecreated)
{
    addresses = {Loopback(2), Loopback(3), Loopback(4)};
    auto link = MakeLink();
    link->Start();
    link->OpenEndpoints();
    const auto first = link->Slots();
    created = 0;

    link->OpenEndpoints();
    EXPECT_EQ(created, 0);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(link->Slots()[i].socket, first[i].socket);

    addresses = {Loopback(3), Loopback(2), Loopback(4)};
    link->OpenEndpoints();
    EXPECT_EQ(created, 2);
    EXPECT_EQ(AddressOf(link->Slots()[0]), Loopback(3));
    EXPECT_EQ(AddressOf(link->Slots()[1]), Loopback(2));
    EXPECT_EQ(link->Slots()[2].socket, first[2].socket);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(link->Slots()[i].open);
    EXPECT_TRUE(messages.empty());
}

TEST_F(SlotRules, SlotsBehindAShorterListStayOpenAndAreSentThrough)
{
    addresses = {Loopback(2), Loopback(3), Loopback(4)};
    auto link = MakeLink();
    link->OpenEndpoints();
    addresses = {Loopback(2)};
    link->OpenEndpoints();
    addresses = {};
    link->OpenEndpoints(); // no addresses: no slot changes
    EXPECT_EQ(created, 3);

    Listener listener(port);
    link->SendFrame(kSearch.data(), kSearch.size());
    std::multiset<uint32_t> sources;
    for (const auto& r : listener.Drain()) {
        EXPECT_EQ(r.bytes, kSearch);
        sources.insert(r.from);
    }
    EXPECT_EQ(sources, (std::multiset<uint32_t>{Loopback(2), Loopback(3), Loopback(4)}));
}

TEST_F(LinkTest, WithoutOpenSlotsNothingIsSentOrShown)
{
    auto link = MakeLink();
    link->Start();
    Listener listener(port);
    link->SendFrame(kSearch.data(), kSearch.size());
    EXPECT_TRUE(listener.Drain(100ms).empty());
    EXPECT_TRUE(messages.empty());
}

TEST_F(LinkTest, AFrameLeavesOncePerOpenSlotInSlotOrder)
{
    addresses = {Loopback(3), Loopback(2)};
    auto link = MakeLink();
    link->OpenEndpoints();
    Listener listener(port);
    link->SendFrame(kSearch.data(), kSearch.size());
    const auto got = listener.Drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].from, Loopback(3));
    EXPECT_EQ(got[1].from, Loopback(2));
    EXPECT_EQ(got[0].bytes, kSearch);
    EXPECT_EQ(got[1].bytes, kSearch);
}

TEST_F(LinkTest, ASendLeavesThroughALaterOpenSlotWhenSlotZeroFailedToBind)
{
    addresses = {Loopback(2), Loopback(3)};
    calls.bind = [](int fd, const sockaddr* address, socklen_t size) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        if (ntohl(in->sin_addr.s_addr) == Loopback(2)) return errno = EADDRNOTAVAIL, -1;
        return ::bind(fd, address, size);
    };
    auto link = MakeLink();
    link->OpenEndpoints();
    ASSERT_FALSE(link->Slots()[0].open);
    ASSERT_TRUE(link->Slots()[1].open);
    EXPECT_EQ(messages, std::vector<std::string>{BindMessage(EADDRNOTAVAIL)});

    messages.clear();
    Listener listener(port);
    link->SendFrame(kSearch.data(), kSearch.size());
    const auto got = listener.Drain(200ms);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].from, Loopback(3));
    EXPECT_EQ(got[0].bytes, kSearch);
    EXPECT_TRUE(messages.empty());
}

TEST_F(LinkTest, AFailingSendIsReportedOncePerFailingSlot)
{
    addresses = {Loopback(2), Loopback(3), Loopback(4)};
    int failingSocket = -1;
    calls.sendto = [&](int fd, const void* d, size_t n, int f, const sockaddr* to, socklen_t s) -> ssize_t {
        if (fd == failingSocket) return errno = ENOBUFS, -1;
        return ::sendto(fd, d, n, f, to, s);
    };
    auto link = MakeLink();
    link->OpenEndpoints();
    failingSocket = link->Slots()[1].socket;
    Listener listener(port);
    link->SendFrame(kSearch.data(), kSearch.size());
    EXPECT_EQ(messages, std::vector<std::string>{kPortInUse});
    EXPECT_EQ(listener.Drain().size(), 2u); // the other slots still send
}

TEST_F(LinkTest, ADatagramTooBigForUdpFailsOnEverySlot)
{
    addresses = {Loopback(2), Loopback(3)};
    auto link = MakeLink();
    link->OpenEndpoints();
    Bytes frame(65535, 0);
    link->SendFrame(frame.data(), frame.size());
    EXPECT_EQ(messages, std::vector<std::string>(2, kPortInUse));
}

TEST_F(LinkTest, HandsOverDatagramsOf1To1024BytesIntactAndInOrder)
{
    auto link = MakeLink();
    link->Start();
    Bytes full(1024), tooLong(1025);
    for (size_t i = 0; i < tooLong.size(); ++i) full[i % 1024] = tooLong[i] = uint8_t(i * 7);
    const std::vector<Bytes> sent{{}, tooLong, full, {0x55}, Bytes(65507, 1), {0x42, 0x43}};
    for (const Bytes& d : sent) SendDatagram(Loopback(1), port, d);
    const auto got = inbox.WaitUntil([](const auto& all) { return all.size() >= 3; });
    EXPECT_EQ(got, (std::vector<Bytes>{full, {0x55}, {0x42, 0x43}}));
}

TEST_F(LinkTest, KeepsTheOrderOfABurst)
{
    auto link = MakeLink();
    link->Start();
    constexpr int kCount = 2000;
    for (int i = 0; i < kCount; ++i) SendDatagram(Loopback(1), port, {uint8_t(i >> 8), uint8_t(i)});
    const auto got = inbox.WaitUntil([](const auto& all) { return all.size() >= kCount; });
    ASSERT_EQ(got.size(), size_t(kCount));
    for (int i = 0; i < kCount; ++i) EXPECT_EQ(got[i], (Bytes{uint8_t(i >> 8), uint8_t(i)})) << i;
}

// Sends one datagram from a socket bound to the given loopback address and port.
void SendFrom(uint32_t fromAddress, uint16_t fromPort, uint32_t to, uint16_t port, const Bytes& bytes)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_port = htons(fromPort);
    from.sin_addr.s_addr = htonl(fromAddress);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(to);
    EXPECT_EQ(::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&target), sizeof target),
              ssize_t(bytes.size()));
    ::close(fd);
}

TEST_F(LinkTest, EachDatagramComesWithItsSenderAndTheLocalAddressThatHeardIt)
{
    auto link = MakeLink();
    link->Start();
    link->OpenEndpoints(); // endpoint on 127.0.0.2
    const uint16_t devicePort = FreeUdpPort();
    struct Row {
        const char* name;
        uint32_t to;
        uint32_t local;       // adapter address expected
        uint32_t destination; // 0: not checked
    };
    const Row rows[] = {
        {"unicast to the any-address socket", Loopback(3), Loopback(3), Loopback(3)},
        {"unicast to the endpoint", Loopback(2), Loopback(2), 0},
        {"broadcast", 0x7FFFFFFF, 0, 0x7FFFFFFF},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name);
        SendFrom(Loopback(7), devicePort, rows[i].to, port, {uint8_t(i)});
        inbox.WaitUntil([i](const auto& all) { return all.size() > i; });
        const auto whole = inbox.Whole();
        ASSERT_GT(whole.size(), i);
        const vornik::Datagram& d = whole[i];
        EXPECT_EQ(d.bytes, Bytes{uint8_t(i)});
        EXPECT_EQ(d.sourceAddress, Loopback(7));
        EXPECT_EQ(d.sourcePort, devicePort);
        EXPECT_EQ(d.localPort, port);
        if (rows[i].local) {
            EXPECT_EQ(d.localAddress, rows[i].local);
        }
        EXPECT_NE(d.localAddress, 0u);
        if (rows[i].destination) {
            EXPECT_EQ(d.destinationAddress, rows[i].destination);
        }
        EXPECT_NE(d.received.time_since_epoch().count(), 0);
    }
}

TEST_F(LinkTest, ReadsWhatArrivesAtAnEndpointIncludingARecreatedOne)
{
    auto link = MakeLink();
    link->Start();
    link->OpenEndpoints();
    // Unicast to the endpoint's own address reaches only the endpoint's socket.
    SendDatagram(Loopback(2), port, {0x01});
    EXPECT_EQ(inbox.WaitUntil([](const auto& all) { return all.size() >= 1; }).size(), 1u);

    addresses = {Loopback(5)};
    link->OpenEndpoints();
    SendDatagram(Loopback(5), port, {0x02});
    const auto got = inbox.WaitUntil([](const auto& all) { return all.size() >= 2; });
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1], Bytes{0x02});
}

TEST_F(LinkTest, EndpointsCanBeRecreatedWhileDatagramsArrive)
{
    addresses = {Loopback(2), Loopback(3)};
    auto link = MakeLink();
    link->Start();
    link->OpenEndpoints();
    std::atomic<bool> done{false};
    std::thread sender([&] {
        for (uint8_t n = 0; !done; ++n) SendDatagram(Loopback(2 + n % 2), port, {n});
    });
    for (int i = 0; i < 200; ++i) {
        std::swap(addresses[0], addresses[1]);
        link->OpenEndpoints();
        if (i % 50 == 0) link->CloseEndpoints();
    }
    // On a loaded machine the sender may not have run yet: the endpoints
    // must still be good for what comes after all the churn.
    const auto arrived = inbox.WaitUntil([](const auto& got) { return !got.empty(); }, 2s);
    done = true;
    sender.join();
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(arrived.empty());
}

TEST_F(LinkTest, NothingIsHandedOverAfterStop)
{
    auto link = MakeLink();
    link->Start();
    link->OpenEndpoints();
    link->Stop();
    link->Stop();
    SendDatagram(Loopback(1), port, {0x01});
    SendDatagram(Loopback(2), port, {0x02});
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(inbox.Now().empty());
}

TEST_F(LinkTest, CanBeDestroyedInAnyState)
{
    MakeLink();
    MakeLink()->OpenEndpoints();
    auto started = MakeLink();
    started->OpenEndpoints();
    started->Start(); // an endpoint opened before the start is read too
    SendDatagram(Loopback(2), port, {0x07});
    EXPECT_EQ(inbox.WaitUntil([](const auto& all) { return !all.empty(); }).size(), 1u);
    started.reset();
}

// With the simulator.

TEST_F(LinkTest, OneSearchFindsEveryDevice)
{
    constexpr size_t kDevices = 200;
    SimProcess sim(LoopbackSimArgs(port, {"--devices", std::to_string(kDevices)}));
    ASSERT_TRUE(sim.Ready());
    auto link = MakeLink();
    link->Start();
    link->OpenEndpoints();
    link->SendFrame(kSearch.data(), kSearch.size());
    std::set<Bytes> macs;
    for (const Bytes& r : inbox.Replies(CMD_SEARCH, kDevices)) macs.emplace(r.begin() + 12, r.begin() + 18);
    EXPECT_EQ(macs.size(), kDevices);
    EXPECT_EQ(sim.Stop(), 0); // SIGTERM ends it cleanly
}

TEST_F(LinkTest, ADeviceThatAnswersByUnicastIsFound)
{
    SimProcess sim(LoopbackSimArgs(port, {"--unicast"}));
    ASSERT_TRUE(sim.Ready());
    auto link = MakeLink();
    link->Start();
    link->OpenEndpoints();
    link->SendFrame(kSearch.data(), kSearch.size());
    EXPECT_EQ(inbox.Replies(CMD_SEARCH, 1).size(), 1u);
}

} // namespace

// The socket layer on loopback, through its own calls only, so the same table
// runs on Linux and (built with MinGW-w64) on Windows or wine.
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "link/socket_api.h"

using namespace vornik;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kLoopback1 = 0x7F000001; // 127.0.0.1
constexpr uint32_t kCapacity = 1024;


// A UDP socket bound to address:0; the system picks the port.
SocketHandle BoundSocket(uint32_t address)
{
    const SocketHandle s = SystemSocket(AF_INET, SOCKET_TYPE_UDP, IPPROTO_UDP);
    EXPECT_NE(s, INVALID_SOCKET_HANDLE);
    const sockaddr_in a = Ipv4Address(address, 0);
    EXPECT_EQ(SystemBind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    return s;
}

void SendTo(SocketHandle from, SocketHandle to, size_t size, uint8_t fill)
{
    const std::vector<uint8_t> bytes(size, fill);
    const sockaddr_in target = BoundAddress(to);
    EXPECT_EQ(SystemSendto(from, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                           sizeof target),
              SocketSize(size));
}

// Waits on a real clock until the socket is readable or the deadline passes.
bool Readable(SocketHandle s, std::chrono::milliseconds within = 3s)
{
    std::vector<uint8_t> ready, broken;
    const auto end = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < end)
        if (WaitReadable({s}, ready, broken, 50) > 0 && ready[0]) return true;
    return false;
}

struct Sockets : testing::Test {
    SocketHandle receiver = BoundSocket(kLoopback1);
    SocketHandle sender = BoundSocket(kLoopback1);
    uint8_t buffer[kCapacity + 64] = {};
    ReceivedFrom from;

    Sockets() { PrepareForReceive(receiver); }
    ~Sockets() override
    {
        CloseSocket(receiver);
        CloseSocket(sender);
    }
};

// What one receive gives for datagrams of sizes around the buffer's ends: each
// datagram is followed by a 3-byte marker that must still arrive whole, so a
// dropped datagram never takes its neighbour with it.
struct SizeCase {
    const char* name;
    size_t size;
    ReceiveResult expected;
};

class DatagramSize : public Sockets, public testing::WithParamInterface<SizeCase> {};

TEST_P(DatagramSize, IsHandedOverWholeOrPassedOver)
{
    SendTo(sender, receiver, GetParam().size, 0xA5);
    SendTo(sender, receiver, 3, 0x5A);
    ASSERT_TRUE(Readable(receiver));
    EXPECT_EQ(ReceiveDatagram(receiver, buffer, kCapacity, from), GetParam().expected);
    if (GetParam().expected == ReceiveResult::Datagram) {
        EXPECT_EQ(from.size, GetParam().size);
        EXPECT_EQ(buffer[0], 0xA5);
        EXPECT_EQ(buffer[GetParam().size - 1], 0xA5);
    }
    ASSERT_TRUE(Readable(receiver));
    ASSERT_EQ(ReceiveDatagram(receiver, buffer, kCapacity, from), ReceiveResult::Datagram);
    EXPECT_EQ(from.size, 3u);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(ReceiveDatagram(receiver, buffer, kCapacity, from), ReceiveResult::Nothing);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, DatagramSize,
    testing::Values(SizeCase{"EmptyIsDropped", 0, ReceiveResult::Dropped},
                    SizeCase{"OneByte", 1, ReceiveResult::Datagram},
                    SizeCase{"ExactlyTheBuffer", kCapacity, ReceiveResult::Datagram},
                    SizeCase{"OneByteTooLongIsDropped", kCapacity + 1, ReceiveResult::Dropped},
                    SizeCase{"FarTooLongIsDropped", 4000, ReceiveResult::Dropped}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Sockets, NothingWaitingIsNotAFailureAndDoesNotBlock)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReceiveDatagram(receiver, buffer, kCapacity, from), ReceiveResult::Nothing);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST_F(Sockets, ADatagramComesWithItsSenderAndTheAddressThatHeardIt)
{
    SendTo(sender, receiver, 5, 1);
    ASSERT_TRUE(Readable(receiver));
    ASSERT_EQ(ReceiveDatagram(receiver, buffer, kCapacity, from), ReceiveResult::Datagram);
    EXPECT_EQ(from.sourceAddress, kLoopback1);
    EXPECT_EQ(from.sourcePort, ntohs(BoundAddress(sender).sin_port));
    EXPECT_EQ(from.localAddress, kLoopback1);
    EXPECT_EQ(from.destinationAddress, kLoopback1);
}

TEST_F(Sockets, ADuplicateStillReceivesAfterTheOriginalIsClosed)
{
    const SocketHandle copy = DuplicateSocket(receiver);
    ASSERT_NE(copy, INVALID_SOCKET_HANDLE);
    PrepareForReceive(copy);
    const sockaddr_in target = BoundAddress(receiver);
    CloseSocket(receiver);
    receiver = copy;
    EXPECT_EQ(BoundAddress(copy).sin_port, target.sin_port);
    SendTo(sender, copy, 7, 2);
    ASSERT_TRUE(Readable(copy));
    ASSERT_EQ(ReceiveDatagram(copy, buffer, kCapacity, from), ReceiveResult::Datagram);
    EXPECT_EQ(from.size, 7u);
}

TEST_F(Sockets, NoSocketIsAFailure)
{
    EXPECT_EQ(ReceiveDatagram(INVALID_SOCKET_HANDLE, buffer, kCapacity, from), ReceiveResult::Failed);
    EXPECT_FALSE(SocketErrorText(LastSocketError()).empty());
}

TEST_F(Sockets, ASecondBindToTheSamePortIsRefusedWithTheSystemsError)
{
    const SocketHandle second = SystemSocket(AF_INET, SOCKET_TYPE_UDP, IPPROTO_UDP);
    const sockaddr_in taken = BoundAddress(receiver);
    EXPECT_EQ(SystemBind(second, reinterpret_cast<const sockaddr*>(&taken), sizeof taken), -1);
    const int error = LastSocketError();
    EXPECT_NE(error, 0);
    EXPECT_NE(SocketErrorText(error), SocketErrorText(error + 1));
    CloseSocket(second);
}

TEST(WakeChannel, WakesAWaitWithoutTimeLimitFromAnotherThread)
{
    WakeChannel wake;
    ASSERT_TRUE(wake.Open());
    std::vector<uint8_t> ready, broken;
    const auto start = std::chrono::steady_clock::now();
    std::thread signaller([&] {
        std::this_thread::sleep_for(100ms);
        wake.Signal();
    });
    const int count = WaitReadable({wake.ReadHandle()}, ready, broken, -1);
    signaller.join();
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(ready[0]);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);
}

TEST(WakeChannel, DrainedItWaitsAgainAndManySignalsAreOneWake)
{
    WakeChannel wake;
    ASSERT_TRUE(wake.Open());
    for (int i = 0; i < 100; ++i) wake.Signal();
    ASSERT_TRUE(Readable(wake.ReadHandle()));
    wake.Drain();
    std::vector<uint8_t> ready, broken;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitReadable({wake.ReadHandle()}, ready, broken, 200), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

TEST(WakeChannel, ClosedItIsNoLongerOpenAndASignalIsHarmless)
{
    WakeChannel wake;
    ASSERT_TRUE(wake.Open());
    wake.Close();
    EXPECT_FALSE(wake.IsOpen());
    wake.Signal();
    wake.Drain();
}

struct AddressCase {
    const char* name;
    const char* text;
    bool parses;
    uint32_t expected;
};

class AddressText : public testing::TestWithParam<AddressCase> {};

TEST_P(AddressText, ParsesOnlyADottedQuad)
{
    uint32_t address = 0x12345678;
    EXPECT_EQ(ParseIPv4(GetParam().text, address), GetParam().parses);
    if (GetParam().parses) EXPECT_EQ(address, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AddressText,
    testing::Values(AddressCase{"Loopback", "127.0.0.1", true, 0x7F000001},
                    AddressCase{"LowestIsAny", "0.0.0.0", true, 0},
                    AddressCase{"HighestIsBroadcast", "255.255.255.255", true, 0xFFFFFFFF},
                    AddressCase{"ByteOrderKept", "10.9.8.7", true, 0x0A090807},
                    AddressCase{"OctetPast255", "256.0.0.1", false, 0},
                    AddressCase{"ThreeOctets", "10.9.8", false, 0},
                    AddressCase{"LeadingSpace", " 10.9.8.7", false, 0},
                    AddressCase{"Empty", "", false, 0},
                    AddressCase{"Negative", "-1.0.0.0", false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InterfaceAddresses, HoldNoLoopbackAddress)
{
    for (uint32_t a : InterfaceIPv4Addresses()) EXPECT_NE(a >> 24, 127u) << std::hex << a;
}

} // namespace

// A datagram reaches the link's owner once, whichever of the link's sockets
// the system handed it to. Windows gives a broadcast to every socket bound
// to the port, the endpoints too; Linux does not, and neither does wine on
// loopback, so here the table holds the link to keeping every datagram an
// endpoint is the only one to hear. Built for both, so it runs under wine.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/socket_api.h"
#include "link/udp_link.h"

using namespace vornik;
using namespace std::chrono_literals;

namespace {

// Wine binds a socket that names an interface's own address (127.0.0.1 is
// lo's) to any address on that interface, as Windows hears broadcasts there;
// another loopback address it binds as it is.
constexpr uint32_t kEndpoint = 0x7F000001;   // 127.0.0.1, the link's one sending address
constexpr uint32_t kSender = 0x7F000002;     // 127.0.0.2
constexpr uint32_t kOther = 0x7F000003;      // 127.0.0.3, no socket of the link's own
constexpr uint32_t kBroadcast = 0x7FFFFFFF;  // 127.255.255.255

class Inbox {
public:
    UdpLink::DatagramSink Sink()
    {
        return [this](Datagram d) {
            std::lock_guard lock(m_mutex);
            m_got.push_back(std::move(d.bytes));
            m_changed.notify_all();
        };
    }
    // Waits until `marker` has come at least once; how many times each of
    // the datagrams came by then.
    bool WaitFor(const std::vector<uint8_t>& marker)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] { return CountLocked(marker) > 0; });
    }
    int Count(const std::vector<uint8_t>& bytes)
    {
        std::lock_guard lock(m_mutex);
        return CountLocked(bytes);
    }

private:
    int CountLocked(const std::vector<uint8_t>& bytes) const
    {
        int n = 0;
        for (const auto& g : m_got) n += g == bytes;
        return n;
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::vector<uint8_t>> m_got;
};

void SendTo(uint32_t to, uint16_t port, const std::vector<uint8_t>& bytes)
{
    const SocketHandle s = SystemSocket(AF_INET, SOCKET_TYPE_UDP, IPPROTO_UDP);
    ASSERT_NE(s, INVALID_SOCKET_HANDLE);
    const int one = 1;
    SystemSetsockopt(s, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    const sockaddr_in from = Ipv4Address(kSender, 0);
    ASSERT_EQ(SystemBind(s, reinterpret_cast<const sockaddr*>(&from), sizeof from), 0);
    const sockaddr_in target = Ipv4Address(to, port);
    EXPECT_EQ(SystemSendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                           sizeof target),
              SocketSize(bytes.size()));
    CloseSocket(s);
}

struct Row {
    const char* name;
    uint32_t to;
    bool receiveBindFails; // the receive socket could not take the port
    int times;             // how often the datagram is handed over
};

const Row kRows[] = {
    {"a broadcast reply, heard by the receive socket and the endpoint", kBroadcast, false, 1},
    {"a unicast reply to the endpoint's address", kEndpoint, false, 1},
    {"a unicast reply to another loopback address", kOther, false, 1},
    {"a unicast to the endpoint while the receive socket could not bind", kEndpoint, true, 1},
};

TEST(BroadcastOnce, EachDatagramIsHandedOverAsOftenAsItWasSent)
{
    uint16_t port = uint16_t(30000 + (std::chrono::steady_clock::now().time_since_epoch().count() / 1000) % 20000);
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        ++port;
        Inbox inbox;
        LinkConfig config;
        config.port = port;
        config.broadcastAddress = kBroadcast;
        config.hostAddresses = [] { return std::vector<uint32_t>{kEndpoint}; };
        if (row.receiveBindFails)
            config.calls.bind = [](SocketHandle s, const sockaddr* a, socklen_t size) {
                if (reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr == htonl(INADDR_ANY)) {
                    SetLastSocketError(1);
                    return -1;
                }
                return SystemBind(s, a, size);
            };
        UdpLink link(config, [](const LinkError&) {}, inbox.Sink());
        link.OpenEndpoints();
        link.Start();
        ASSERT_TRUE(link.Slots()[0].open);

        const std::vector<uint8_t> datagram{0xAA, uint8_t(row.to), 0x01};
        // The endpoint hands over in the order it received, so once the
        // marker sent to it after the datagram is in, its copy is in too.
        const std::vector<uint8_t> marker{0xAA, 0xEE};
        SendTo(row.to, port, datagram);
        SendTo(kEndpoint, port, marker);
        ASSERT_TRUE(inbox.WaitFor(marker));
        if (row.times > 0) {
            ASSERT_TRUE(inbox.WaitFor(datagram));
        }
        EXPECT_EQ(inbox.Count(datagram), row.times);
        EXPECT_EQ(inbox.Count(marker), 1);
    }
}

} // namespace

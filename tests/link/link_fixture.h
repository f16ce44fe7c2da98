// What the loopback link tests share: a collector for handed-over datagrams
// and a link on loopback; the plain listening socket is in tests/common.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/udp_link.h"
#include "ops/link_texts.h"
#include "sim_process.h"
#include "udp_listener.h"

namespace vornik::test {

using Bytes = std::vector<uint8_t>; // the bytes of one datagram
using namespace std::chrono_literals;

// Collects what the receive thread hands over.
class Inbox {
public:
    UdpLink::DatagramSink Sink()
    {
        return [this](vornik::Datagram d) {
            std::lock_guard lock(m_mutex);
            m_got.push_back(d.bytes);
            m_whole.push_back(std::move(d));
            m_changed.notify_all();
        };
    }

    // Waits until `done` holds for what has arrived, or the time is up, and
    // gives what has arrived.
    std::vector<Bytes> WaitUntil(const std::function<bool(const std::vector<Bytes>&)>& done,
                                    std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] { return done(m_got); });
        return m_got;
    }

    // Replies (marker 0x55) with the given command, once `count` of them are in.
    std::vector<Bytes> Replies(uint8_t command, size_t count, std::chrono::milliseconds timeout = 5s)
    {
        auto pick = [command](const std::vector<Bytes>& all) {
            std::vector<Bytes> out;
            for (const Bytes& d : all)
                if (d.size() > 3 && d[0] == 0x55 && d[3] == command) out.push_back(d);
            return out;
        };
        return pick(WaitUntil([&](const std::vector<Bytes>& all) { return pick(all).size() >= count; }, timeout));
    }

    std::vector<Bytes> Now() { return WaitUntil([](const auto&) { return true; }, 0ms); }

    // What arrived so far with the addresses it came with.
    std::vector<vornik::Datagram> Whole()
    {
        std::lock_guard lock(m_mutex);
        return m_whole;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Bytes> m_got;
    std::vector<vornik::Datagram> m_whole;
};

// Sends one datagram from an unbound socket.
inline void SendDatagram(uint32_t address, uint16_t port, const Bytes& bytes)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    EXPECT_EQ(::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              ssize_t(bytes.size()));
    ::close(fd);
}

class LinkTest : public testing::Test {
protected:
    uint16_t port = FreeUdpPort();
    std::vector<std::string> messages; // the window's thread is the test's own
    Inbox inbox;
    std::vector<uint32_t> addresses{Loopback(2)};
    SocketCalls calls;

    std::unique_ptr<UdpLink> MakeLink()
    {
        LinkConfig config = LoopbackLinkConfig(port, {});
        config.hostAddresses = [this] { return addresses; };
        config.calls = calls;
        return std::make_unique<UdpLink>(
            std::move(config), [this](const LinkError& e) { messages.push_back(LinkErrorText936(e)); }, inbox.Sink());
    }
};

} // namespace vornik::test

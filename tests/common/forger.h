// A hostile sender on the test's loopback LAN: it hears every request on the
// port, as a device does, and answers each network read for one MAC with a
// network block of its own making, before the real device can. Each forged
// block differs from the last unless `steady`, as a sender making up bytes
// would; `extra` bytes make each reply longer than the block's frame.
#pragma once

#include <atomic>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "proto/frame.h"
#include "proto/mac_address.h"
#include "udp_listener.h"

namespace vornik::test {

class Forger {
public:
    struct Options {
        bool steady = false; // the same forged block every time
        size_t extra = 0;    // bytes after the block's sum
        uint32_t seed = 1;
        std::vector<uint8_t> fixed; // 292 bytes: this block every time
        int answers = 0;            // answers only the first this many reads (0: every one)
    };
    Forger(uint16_t port, const MacAddress& mac, Options options) : m_mac(mac), m_options(options), m_port(port)
    {
        m_fd = OpenPortSocket(port);
        m_bound = m_fd >= 0;
        m_thread = std::thread([this] { Run(); });
    }
    ~Forger()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    Forger(const Forger&) = delete;
    Forger& operator=(const Forger&) = delete;

    bool Bound() const { return m_bound; }
    int Forged() const { return m_forged; }

private:
    void Run()
    {
        std::mt19937 random(m_options.seed);
        std::vector<uint8_t> block(292);
        for (auto& b : block) b = uint8_t(random());
        if (m_options.fixed.size() == block.size()) block = m_options.fixed;
        std::vector<uint8_t> in(2048);
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (m_fd < 0) return;
            if (::poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = ::recv(m_fd, in.data(), in.size(), 0);
            // A network read request: AA, length, 03, the MAC; replies (55) are its own or a device's.
            if (n < 10 || in[0] != 0xAA || in[3] != 0x03 || !std::equal(m_mac.begin(), m_mac.end(), in.begin() + 4))
                continue;
            if (m_options.answers > 0 && m_forged >= m_options.answers) continue;
            if (!m_options.steady && m_options.fixed.empty())
                for (auto& b : block) b = uint8_t(random());
            std::vector<uint8_t> reply{0x55, 0x01, 0x2B, 0x03};
            reply.insert(reply.end(), m_mac.begin(), m_mac.end());
            reply.insert(reply.end(), block.begin(), block.end());
            reply.push_back(FrameSum8({reply.data() + 3, reply.size() - 3}));
            reply.insert(reply.end(), m_options.extra, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(m_port);
            to.sin_addr.s_addr = htonl(0x7FFFFFFF);
            ::sendto(m_fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            ++m_forged;
        }
    }

    MacAddress m_mac;
    Options m_options;
    uint16_t m_port;
    int m_fd = -1;
    bool m_bound = false;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_forged{0};
    std::thread m_thread;
};

} // namespace vornik::test

// A plain socket on a test's port, bound to every address like the link's
// receive socket, to see what a link or vornikctl sends (broadcasts included)
// and from where, without going through the program's own receive path.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vornik::test {

// A UDP socket on the test's port as a device's would be: bound to every
// address, sharing the port with the others and allowed to broadcast; -1
// when the bind fails.
inline int OpenPortSocket(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
    ::close(fd);
    return -1;
}

class Listener {
public:
    explicit Listener(uint16_t port)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        m_bound = ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        EXPECT_TRUE(m_bound) << "cannot listen on port " << port;
    }
    ~Listener() { ::close(m_fd); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool Bound() const { return m_bound; }

    struct Received {
        uint32_t from; // host order
        std::vector<uint8_t> bytes;
    };

    // Everything that arrives until nothing more comes for `quiet`.
    std::vector<Received> Drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(300))
    {
        std::vector<Received> out;
        while (Receive(quiet, out)) {
        }
        return out;
    }

    // Everything that arrives within `window`, however busy it is; for a
    // check that nothing at all is sent, which a quiet gap cannot show.
    std::vector<Received> During(std::chrono::milliseconds window)
    {
        std::vector<Received> out;
        const auto end = std::chrono::steady_clock::now() + window;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return out;
            Receive(left, out);
        }
    }

private:
    // Waits up to `wait` for one datagram and appends it; false if none came.
    bool Receive(std::chrono::milliseconds wait, std::vector<Received>& out)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, int(wait.count())) != 1) return false;
        static thread_local uint8_t buffer[70000];
        sockaddr_in from{};
        socklen_t size = sizeof from;
        const ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
        if (n < 0) return false;
        out.push_back({ntohl(from.sin_addr.s_addr), std::vector<uint8_t>(buffer, buffer + n)});
        return true;
    }

    int m_fd = -1;
    bool m_bound = false;
};

} // namespace vornik::test

// A flood of search replies on loopback, as any host of the LAN could send
// one, and the window program that stands it: shared by the shut-down test
// and the window benchmark.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vornik::test {

// The search reply of device number i (192.168.x.y, a MAC of its own).
inline std::vector<uint8_t> FloodSearchReply(uint32_t i)
{
    return {0x55, 0x00, 0x11, 0x02, 0, 0, 0, 0, uint8_t(i), uint8_t(i >> 8), 0xA8, 0xC0,
            0x02, 0x5A, uint8_t(i >> 24), uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i), 100, 0, 0};
}

// Sends search replies to 127.0.0.1:port at `perSecond` on a thread of its
// own until stopped; counts what it sent.
class Flood {
public:
    Flood(uint16_t port, int perSecond) : m_thread([this, port, perSecond] { Run(port, perSecond); }) {}
    ~Flood() { Stop(); }

    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    uint64_t Sent() const { return m_sent; }

private:
    void Run(uint16_t port, int perSecond)
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(0x7F000001); // 127.0.0.1
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        uint32_t i = 0;
        while (!m_stop) {
            // Sent in steps of a millisecond, as many as are due by now.
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            const uint64_t due = uint64_t(seconds * perSecond);
            while (m_sent < due && !m_stop) {
                const std::vector<uint8_t> reply = FloodSearchReply(i++);
                if (::sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0)
                    ++m_sent;
                else
                    break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::close(fd);
    }

    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_sent{0};
    std::thread m_thread;
};

// Nanoseconds on the clock that every process of the machine shares.
inline int64_t MonotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// A child program whose standard output is read line by line.
class ChildProgram {
public:
    explicit ChildProgram(std::vector<std::string> args)
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
    }
    ~ChildProgram()
    {
        if (m_pid > 0 && !m_exited) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) ::close(m_out);
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool Started() const { return m_pid > 0; }

    // The next line of output (without its newline); false at its end or
    // when nothing came within the time.
    bool ReadLine(std::string& line, std::chrono::milliseconds within)
    {
        const auto deadline = std::chrono::steady_clock::now() + within;
        for (;;) {
            const size_t end = m_buffer.find('\n');
            if (end != std::string::npos) {
                line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                    std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) <= 0) continue;
            char chunk[512];
            const ssize_t n = ::read(m_out, chunk, sizeof chunk);
            if (n <= 0) return false;
            m_buffer.append(chunk, size_t(n));
        }
    }

    // Waits for the end; false when it did not come within the time. On
    // success, status is waitpid's and endedNs the monotonic time it was seen.
    bool Wait(std::chrono::milliseconds within, int& status, int64_t& endedNs)
    {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (std::chrono::steady_clock::now() < deadline) {
            const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                endedNs = MonotonicNs();
                m_exited = true;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    }

    // What is left of the output once the program has ended.
    std::string Rest()
    {
        std::string line, all;
        while (ReadLine(line, std::chrono::milliseconds(200))) all += line + "\n";
        return all;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    bool m_exited = false;
    std::string m_buffer;
};

} // namespace vornik::test

// Runs the device simulator (tools/vornik_sim) as a child process for the
// length of a test, on loopback.
//
//   #include "sim_process.h"
//   const uint16_t port = vornik::test::FreeUdpPort();
//   vornik::test::SimProcess sim(vornik::test::LoopbackSimArgs(port, {"--devices", "3"}));
//   ASSERT_TRUE(sim.Ready()) << "simulator did not start";
//   ... a UdpLink with LoopbackLinkConfig(port, {...}) now finds three devices ...
//
// The constructor returns once the simulator listens (or has failed to), so a
// request sent right after it is not lost. The destructor stops the simulator
// with SIGTERM and waits for it; Stop() does the same earlier and gives its
// exit status. The simulator's output (its --log lines, for instance) goes to
// the test's own stdout and stderr, which ctest shows for a failing test.
//
// The simulator's path comes from the compile definition VORNIK_SIM_PATH; a
// test target gets it with
//   target_compile_definitions(my_test PRIVATE VORNIK_SIM_PATH="$<TARGET_FILE:vornik_sim>")
//   add_dependencies(my_test vornik_sim)
// and the include path of this folder (tests/link).
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/udp_link.h"

extern char** environ;

namespace vornik::test {

// Loopback's broadcast address: reaches every socket bound to the port on
// this machine and nothing beyond it.
inline constexpr uint32_t LOOPBACK_BROADCAST = 0x7FFFFFFF; // 127.255.255.255

// 127.0.0.n in host order; all of 127/8 is local, so every n is a host address.
constexpr uint32_t Loopback(uint8_t n) { return 0x7F000000u | n; }

// A UDP port that no socket uses at this moment, for one test's traffic.
// The system picks it, so tests that run at the same time do not meet.
inline uint16_t FreeUdpPort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t size = sizeof a;
    uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0) ::close(fd);
    return port;
}

// A link that stays on loopback: the given port, loopback's broadcast and the
// given host addresses.
inline LinkConfig LoopbackLinkConfig(uint16_t port, std::vector<uint32_t> addresses)
{
    LinkConfig c;
    c.port = port;
    c.broadcastAddress = LOOPBACK_BROADCAST;
    c.hostAddresses = [addresses] { return addresses; };
    return c;
}

// Simulator arguments for loopback: the port, replies to loopback's
// broadcast, then the extra arguments.
inline std::vector<std::string> LoopbackSimArgs(uint16_t port, const std::vector<std::string>& extra = {})
{
    std::vector<std::string> args{"--port", std::to_string(port), "--reply-to", "127.255.255.255"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// The MAC texts of a simulator's devices `from` to `to` (the first is 1)
// without --base-mac, as vornikctl writes them.
inline std::vector<std::string> SimMacs(int from, int to)
{
    std::vector<std::string> macs;
    for (int i = from; i <= to; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02-00-00-00-%02X-%02X", (i >> 8) & 0xFF, i & 0xFF);
        macs.push_back(mac);
    }
    return macs;
}

// The writes a simulator started with `--stats path` has received so far
// (-1 before it has written the file).
inline long SimWrites(const std::string& statsPath)
{
    std::string word;
    long writes = -1;
    std::ifstream(statsPath) >> word >> writes;
    return writes;
}

class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args,
                        std::chrono::milliseconds readyTimeout = std::chrono::seconds(10))
    {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
        // The child sees the write end as descriptor 3; keep the parent's copy
        // away from 3, where dup2 would leave the close-on-exec flag set.
        int writeEnd = pipeFds[1];
        if (writeEnd <= 3) {
            writeEnd = ::fcntl(pipeFds[1], F_DUPFD_CLOEXEC, 10);
            ::close(pipeFds[1]);
        }
        const int readEnd = pipeFds[0];

        std::vector<std::string> all{VORNIK_SIM_PATH};
        all.insert(all.end(), args.begin(), args.end());
        all.insert(all.end(), {"--ready-fd", "3"});
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writeEnd, 3);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(writeEnd);

        if (m_pid > 0) {
            // "ready" arrives once the simulator listens; end of file means it gave up.
            pollfd p{readEnd, POLLIN, 0};
            char text[16] = {};
            if (::poll(&p, 1, int(readyTimeout.count())) == 1 && ::read(readEnd, text, sizeof text - 1) > 0)
                m_ready = std::string(text).rfind("ready", 0) == 0;
        }
        ::close(readEnd);
    }

    ~SimProcess() { Stop(); }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Ready() const { return m_ready; }
    pid_t Pid() const { return m_pid; }

    // Stops the simulator with the signal (SIGKILL too if it has not ended
    // after five seconds) and gives its wait status: 0 for a clean end, -1
    // when there was no simulator to stop.
    int Stop(int signal = SIGTERM)
    {
        if (m_pid <= 0) return m_status;
        ::kill(m_pid, signal);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
                m_pid = -1;
                return m_status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &m_status, 0);
        m_pid = -1;
        return m_status;
    }

private:
    pid_t m_pid = -1;
    int m_status = -1;
    bool m_ready = false;
};

} // namespace vornik::test

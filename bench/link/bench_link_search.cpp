// How fast a burst of search replies gets through the link: one search,
// answered by 1,000 simulated devices at once on loopback. Prints, per round,
// how many devices were handed over, how many were lost, and the time from
// sending the search to the last hand-over. Target: 1,000 of 1,000 within 200 ms.
//
//   bench_link_search [DEVICES] [ROUNDS]
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

#include "link/udp_link.h"
#include "sim_process.h"

using namespace vornik;
using Clock = std::chrono::steady_clock;

namespace {

struct Round {
    size_t handedOver;
    double lastMs;
};

class Collector {
public:
    UdpLink::DatagramSink Sink()
    {
        return [this](Datagram received) {
            const std::vector<uint8_t>& d = received.bytes;
            if (d.size() < 18 || d[0] != FRAME_REPLY || d[3] != CMD_SEARCH) return;
            const auto now = Clock::now();
            std::lock_guard lock(m_mutex);
            MacAddress mac;
            std::copy(d.begin() + 12, d.begin() + 18, mac.begin());
            m_macs.insert(mac);
            m_last = now;
            m_changed.notify_all();
        };
    }

    Round Measure(UdpLink& link, size_t devices)
    {
        {
            std::lock_guard lock(m_mutex);
            m_macs.clear();
        }
        const Frame search = BuildSearchRequest();
        const auto start = Clock::now();
        link.SendFrame(search.data(), search.size());
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(2), [&] { return m_macs.size() >= devices; });
        if (m_macs.size() < devices) {
            // Let stragglers in, so "lost" means lost and not late.
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            lock.lock();
        }
        return {m_macs.size(), std::chrono::duration<double, std::milli>(m_last - start).count()};
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<MacAddress> m_macs;
    Clock::time_point m_last;
};

bool Scenario(const char* name, size_t devices, int rounds, std::initializer_list<std::string> simOptions)
{
    const uint16_t port = test::FreeUdpPort();
    std::vector<std::string> args = test::LoopbackSimArgs(port, {"--devices", std::to_string(devices)});
    args.insert(args.end(), simOptions);
    test::SimProcess sim(args);
    if (!sim.Ready()) {
        std::fprintf(stderr, "bench_link_search: the simulator did not start\n");
        return false;
    }
    Collector collector;
    UdpLink link(test::LoopbackLinkConfig(port, {test::Loopback(2)}),
                 [](const LinkError& e) { std::fprintf(stderr, "bench_link_search: %s\n", DescribeLinkError(e).c_str()); },
                 collector.Sink());
    link.Start();
    link.OpenEndpoints();

    std::printf("%s, %zu devices, port %u\n", name, devices, port);
    std::vector<double> times;
    bool allFound = true;
    for (int r = 1; r <= rounds; ++r) {
        const Round round = collector.Measure(link, devices);
        times.push_back(round.lastMs);
        allFound = allFound && round.handedOver == devices;
        std::printf("  round %d: handed over %4zu, lost %4zu, search to last hand-over %7.2f ms\n", r,
                    round.handedOver, devices - round.handedOver, round.lastMs);
    }
    std::sort(times.begin(), times.end());
    std::printf("  median %.2f ms, worst %.2f ms; target: all %zu within 200 ms: %s\n", times[times.size() / 2],
                times.back(), devices, allFound && times.back() < 200.0 ? "met" : "MISSED");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const size_t devices = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (devices == 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_link_search [DEVICES] [ROUNDS]\n");
        return 2;
    }
    const bool ok = Scenario("replies by broadcast", devices, rounds, {}) &&
                    Scenario("replies by unicast to the endpoint", devices, rounds, {"--unicast"});
    return ok ? 0 : 1;
}

// The link exactly as the product builds it (port 1901, 255.255.255.255, the
// host's own addresses), run by scripts/vlan on the tool's host of a virtual
// LAN: one search must find the expected number of devices, and one of them
// must answer a device-parameter read addressed to it.
//
//   link_vlan_search EXPECTED_DEVICES
//
// Exits 0 on success, 1 on failure, and 77 (skipped) outside a virtual LAN,
// where these constants would reach a real network.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/udp_link.h"
#include "proto/dev_params.h"

using namespace vornik;
using namespace std::chrono_literals;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: link_vlan_search EXPECTED_DEVICES\n");
        return 1;
    }
    if (!std::getenv("VORNIK_VLAN")) {
        std::fprintf(stderr, "link_vlan_search: runs only inside scripts/vlan; skipped\n");
        return 77;
    }
    const size_t expected = std::strtoul(argv[1], nullptr, 10);

    std::mutex mutex;
    std::condition_variable changed;
    std::set<MacAddress> found;
    std::vector<std::vector<uint8_t>> deviceReplies;
    std::vector<std::string> messages;

    UdpLink link(
        LinkConfig{}, [&](const LinkError& e) { messages.push_back(DescribeLinkError(e)); },
        [&](Datagram received) {
            const std::vector<uint8_t>& d = received.bytes;
            std::lock_guard lock(mutex);
            if (d.size() >= 18 && d[0] == FRAME_REPLY && d[3] == CMD_SEARCH) {
                MacAddress mac;
                std::copy(d.begin() + 12, d.begin() + 18, mac.begin());
                found.insert(mac);
            }
            if (d.size() > 3 && d[0] == FRAME_REPLY && d[3] == CMD_DEVICE_PARAMS) deviceReplies.push_back(d);
            changed.notify_all();
        });
    link.Start();
    link.OpenEndpoints();
    size_t open = 0;
    for (const EndpointSlot& s : link.Slots()) open += s.open;
    std::printf("link_vlan_search: %zu endpoint(s) open\n", open);

    const Frame search = BuildSearchRequest();
    link.SendFrame(search.data(), search.size());
    std::unique_lock lock(mutex);
    changed.wait_for(lock, 5s, [&] { return found.size() >= expected; });
    lock.unlock();
    std::this_thread::sleep_for(200ms); // anything beyond the expected would show now
    lock.lock();
    std::printf("link_vlan_search: %zu of %zu device(s) found\n", found.size(), expected);
    bool ok = found.size() == expected && messages.empty() && open > 0;

    if (!found.empty()) {
        const MacAddress target = *found.begin();
        std::array<uint8_t, DEVICE_FRAME_SIZE> inner{};
        const uint8_t n = BuildDeviceFrame(inner, DEVICE_FUNC_READ, DeviceParams{});
        const Frame read = BuildDeviceParamsRequest(target, std::span(inner).first(n));
        lock.unlock();
        link.SendFrame(read.data(), read.size());
        lock.lock();
        changed.wait_for(lock, 5s, [&] { return !deviceReplies.empty(); });
        const bool answered = deviceReplies.size() == 1 &&
                              std::equal(target.begin(), target.end(), deviceReplies[0].begin() + 4);
        std::printf("link_vlan_search: device-parameter read %s\n", answered ? "answered" : "NOT answered");
        ok = ok && answered;
    }
    for (const std::string& m : messages) std::printf("link_vlan_search: message: %s\n", m.c_str());
    lock.unlock();
    link.Stop();
    return ok ? 0 : 1;
}

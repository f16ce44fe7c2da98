// A fleet of simulated measuring devices: what each one stores and how it
// answers a request. No sockets here; vornik_sim puts this on the network.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "proto/frame.h"
#include "proto/dev_params.h"
#include "proto/net_params.h"

namespace vornik::sim {

struct FleetOptions {
    uint32_t count = 1;
    uint32_t baseIp = 0xC0A80064;       // 192.168.0.100; device i gets baseIp + i
    uint64_t baseMac = 0x020000000001;  // 02-00-00-00-00-01; device i gets baseMac + i
    uint16_t firmware = 100;
    uint8_t deviceReplyCommand = CMD_DEVICE_PARAMS; // or CMD_DEVICE_PARAMS_REPLY
    // Each device leaves the factory with settings of its own (firmware,
    // address mode, servers, intervals, probe kind, line settings, limits), so
    // that a demo shows devices that differ; off, all share the factory values.
    bool varied = false;
    // The protocol promises no answer to a network write, a MAC write or the
    // factory reset; a fleet that sends none shows what a client may rely on.
    bool acknowledge = true;
    // Acknowledges every write but keeps what it holds, as a device with a
    // write-protected memory would.
    bool storeNothing = false;
    // Answer searches with this address (device i with it + i), whatever the
    // block holds, as a device on a DHCP lease does; 0: the block's.
    uint32_t answerIp = 0;
};

struct Device {
    MacAddress mac{};
    uint32_t factoryIp = 0;
    uint16_t firmware = 0;
    uint32_t answerIp = 0; // the address searches are answered with; 0: the block's
    NetworkParams network;
    DeviceParams params;
    // What a factory reset restores.
    NetworkParams factoryNetwork;
    DeviceParams factoryParams;
};

// Factory settings. The address is the device's own; the rest is what a
// device leaves the factory with.
NetworkParams FactoryNetworkParams(uint32_t ip);
DeviceParams FactoryDeviceParams();
// Device index's own factory settings for a varied fleet, derived from the
// index alone, so that every run of the demo shows the same fleet.
void VaryFactorySettings(Device& d, uint32_t index);

MacAddress MacFromNumber(uint64_t value);
uint64_t MacToNumber(const MacAddress& mac);

// Reply layouts, as a device sends them.
Frame SearchReply(const Device& d);
Frame NetworkReply(const Device& d);
Frame AckReply(uint8_t command, const MacAddress& mac);
Frame DeviceParamsReply(const Device& d, uint8_t replyCommand);
Frame DeviceWriteAck(const MacAddress& mac, uint8_t replyCommand);

// The parameter block as a read reply carries it: 96 bytes, function 0x10.
std::array<uint8_t, DEVICE_FRAME_SIZE> DeviceReadReplyFrame(const DeviceParams& p);

struct Reply {
    uint32_t device; // index of the answering device
    Frame frame;
};

class Fleet {
public:
    explicit Fleet(const FleetOptions& options);

    // Acts on one received datagram and gives the replies in device order.
    // Anything that is not a well-formed request is ignored; `why`, when
    // given, then says what was wrong (empty for replies of other devices,
    // which every device sees on a broadcast network).
    std::vector<Reply> Handle(std::span<const uint8_t> datagram, std::string* why = nullptr);

    const std::vector<Device>& Devices() const { return m_devices; }
    // Writes received for a device of the fleet (network, device block, MAC,
    // factory reset), one per device addressed, whether stored or not: what
    // a client that claims to leave devices alone must not send.
    uint64_t Writes() const { return m_writes; }

private:
    void Reindex();
    std::vector<uint32_t> Addressed(std::span<const uint8_t> request) const;

    FleetOptions m_options;
    std::vector<Device> m_devices;
    std::unordered_map<uint64_t, std::vector<uint32_t>> m_byMac;
    uint64_t m_writes = 0;
};

} // namespace vornik::sim

#include "sim_fleet.h"

#include <algorithm>
#include <cstring>

#include "proto/byte_io.h"
#include "proto/crc16.h"

namespace vornik::sim {

namespace {

constexpr size_t kSearchReplyPayload = 16;  // 4 unused bytes, address, MAC, firmware
constexpr size_t kMacOnlyRequestSize = 11;  // 0x03 and 0x06
constexpr size_t kWriteMacRequestSize = 17;
constexpr size_t kNetworkWriteRequestSize = FRAME_PAYLOAD_OFFSET + NETWORK_PARAMS_SIZE + 1;
constexpr uint16_t kFirstServerPort = 2000;
constexpr char kServerTarget[] = "192.168.0.166";
constexpr uint8_t kWriteAckFrame[] = {DEVICE_FRAME_START, DEVICE_FUNC_WRITE, 0xE0, 0x1C};

std::vector<uint8_t> MacAnd(const MacAddress& mac, std::span<const uint8_t> rest = {})
{
    std::vector<uint8_t> payload(mac.begin(), mac.end());
    payload.insert(payload.end(), rest.begin(), rest.end());
    return payload;
}

} // namespace

NetworkParams FactoryNetworkParams(uint32_t ip)
{
    NetworkParams p;
    p.ipMode = IP_MODE_STATIC;
    p.ipAddress = ip;
    p.gateway = (ip & 0xFFFFFF00) | 1;
    p.subnetMask = 0xFFFFFF00;
    p.maxConnections = 8;
    for (size_t s = 0; s < SERVER_COUNT; ++s) {
        p.servers[s].localPort = uint16_t(kFirstServerPort + s);
        p.servers[s].targetPort = uint16_t(kFirstServerPort + s);
        std::memcpy(p.servers[s].targetAddress.data(), kServerTarget, sizeof kServerTarget);
    }
    return p;
}

DeviceParams FactoryDeviceParams()
{
    DeviceParams p;
    p.serverCount = 8;
    p.terminalAddress = 0x12345678;
    p.loginInterval = 3;
    p.heartbeatInterval = 60;
    p.uploadInterval = 5;
    p.workMode = 0;
    p.baudRate = 4800;
    p.dataBits = 8;
    p.parity = 0;
    p.stopBits = 1;
    p.modbusTerminalCount = 1;
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        p.channelAddress[c] = uint8_t(c + 1);
        p.tempUpperLimit[c] = 999;
        p.tempLowerLimit[c] = 0;
        p.humidityUpperLimit[c] = 999;
        p.humidityLowerLimit[c] = 0;
    }
    return p;
}

void VaryFactorySettings(Device& d, uint32_t index)
{
    static constexpr uint32_t kBaudRates[] = {4800, 9600, 19200, 38400, 57600, 115200};
    static constexpr uint8_t kModeCount = 6; // the probe kinds the device page lists
    const uint32_t i = index;

    d.firmware = uint16_t(d.firmware + i % 3);

    NetworkParams& n = d.factoryNetwork;
    if (i % 4 == 3) n.ipMode = IP_MODE_DHCP;
    n.maxConnections = uint8_t(1 + (i + 3) % 8);
    for (size_t s = 0; s < SERVER_COUNT; ++s) {
        n.servers[s].localPort = uint16_t(kFirstServerPort + 100 * (i % 10) + s);
        n.servers[s].targetPort = uint16_t(5000 + 10 * (i % 50) + s);
        const std::string target = "10.1." + std::to_string(i % 250) + "." + std::to_string(10 + s);
        n.servers[s].targetAddress.fill(0);
        std::memcpy(n.servers[s].targetAddress.data(), target.c_str(), target.size());
    }

    DeviceParams& p = d.factoryParams;
    p.serverCount = uint8_t(1 + i % 8);
    p.terminalAddress = 0x20260001 + i;
    p.loginInterval = uint16_t(3 + i % 5);
    p.heartbeatInterval = uint16_t(30 + 15 * (i % 4));
    p.uploadInterval = uint16_t(5 + 5 * (i % 6));
    p.workMode = uint8_t(i % kModeCount);
    p.baudRate = kBaudRates[i % std::size(kBaudRates)];
    p.parity = uint8_t(i % 3);
    p.modbusTerminalCount = uint8_t(1 + i % CHANNEL_COUNT);
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        const int step = int((i + c) % 7);
        p.channelAddress[c] = uint8_t(1 + (i * CHANNEL_COUNT + c) % 247);
        p.tempUpperLimit[c] = int16_t(450 + 25 * step);    // 45.0 to 60.0
        p.tempLowerLimit[c] = int16_t(-200 + 20 * step);   // -20.0 to -8.0
        p.humidityUpperLimit[c] = uint16_t(800 + 20 * step); // 80.0 to 92.0
        p.humidityLowerLimit[c] = uint16_t(100 + 10 * step); // 10.0 to 16.0
    }
}

MacAddress MacFromNumber(uint64_t value)
{
    MacAddress mac;
    for (size_t i = 0; i < MAC_SIZE; ++i) mac[i] = uint8_t(value >> (8 * (MAC_SIZE - 1 - i)));
    return mac;
}

Frame SearchReply(const Device& d)
{
    std::array<uint8_t, kSearchReplyPayload> payload{};
    // Bytes 4-7 of the frame mean nothing to the tool; they stay zero.
    ByteWriter w(payload);
    w.At(8 - FRAME_MAC_OFFSET).U32(d.answerIp ? d.answerIp : d.network.ipAddress);
    w.Bytes(d.mac);
    w.U16(d.firmware);
    return BuildReply(CMD_SEARCH, uint16_t(1 + payload.size()), payload);
}

Frame NetworkReply(const Device& d)
{
    const NetworkParamsImage image = EncodeNetworkParams(d.network);
    const auto payload = MacAnd(d.mac, image);
    return BuildReply(CMD_READ_NETWORK, uint16_t(1 + payload.size()), payload);
}

Frame AckReply(uint8_t command, const MacAddress& mac)
{
    return BuildReply(command, uint16_t(1 + MAC_SIZE), mac);
}

std::array<uint8_t, DEVICE_FRAME_SIZE> DeviceReadReplyFrame(const DeviceParams& p)
{
    return DeviceBlockFrame(DEVICE_FUNC_READ, EncodeDeviceBlock(p));
}

Frame DeviceParamsReply(const Device& d, uint8_t replyCommand)
{
    const auto inner = DeviceReadReplyFrame(d.params);
    // Device replies carry the inner frame's length, not the outer N.
    return BuildReply(replyCommand, uint16_t(inner.size()), MacAnd(d.mac, inner));
}

Frame DeviceWriteAck(const MacAddress& mac, uint8_t replyCommand)
{
    return BuildReply(replyCommand, uint16_t(sizeof kWriteAckFrame), MacAnd(mac, kWriteAckFrame));
}

Fleet::Fleet(const FleetOptions& options) : m_options(options)
{
    m_devices.resize(options.count);
    for (uint32_t i = 0; i < options.count; ++i) {
        Device& d = m_devices[i];
        d.mac = MacFromNumber((options.baseMac + i) & 0xFFFFFFFFFFFF);
        d.factoryIp = options.baseIp + i;
        d.firmware = options.firmware;
        if (options.answerIp) d.answerIp = options.answerIp + i;
        d.factoryNetwork = FactoryNetworkParams(d.factoryIp);
        d.factoryParams = FactoryDeviceParams();
        if (options.varied) VaryFactorySettings(d, i);
        d.network = d.factoryNetwork;
        d.params = d.factoryParams;
    }
    Reindex();
}

void Fleet::Reindex()
{
    m_byMac.clear();
    for (uint32_t i = 0; i < m_devices.size(); ++i) m_byMac[MacKey(m_devices[i].mac)].push_back(i);
}

std::vector<uint32_t> Fleet::Addressed(std::span<const uint8_t> request) const
{
    MacAddress mac;
    std::copy_n(request.begin() + FRAME_MAC_OFFSET, MAC_SIZE, mac.begin());
    const auto it = m_byMac.find(MacKey(mac));
    return it == m_byMac.end() ? std::vector<uint32_t>{} : it->second;
}

std::vector<Reply> Fleet::Handle(std::span<const uint8_t> in, std::string* why)
{
    auto reject = [&](const char* reason) {
        if (why) *why = reason;
        return std::vector<Reply>{};
    };
    if (why) why->clear();
    if (in.empty() || in[FRAME_MARKER_OFFSET] != FRAME_REQUEST) return {};
    if (in.size() < FRAME_HEADER_SIZE + 1) return reject("too short");
    const size_t n = ByteReader(in).At(FRAME_LENGTH_OFFSET).U16BE();
    if (n + FRAME_HEADER_SIZE != in.size()) return reject("length field does not match the datagram");
    if (FrameSum8(in.subspan(FRAME_COMMAND_OFFSET, n)) != in.back()) return reject("checksum");

    const uint8_t command = in[FRAME_COMMAND_OFFSET];
    std::vector<Reply> out;
    if (command == CMD_SEARCH) {
        if (in.size() != 5) return reject("search with a payload");
        out.reserve(m_devices.size());
        for (uint32_t i = 0; i < m_devices.size(); ++i) out.push_back({i, SearchReply(m_devices[i])});
        return out;
    }
    if (in.size() < FRAME_PAYLOAD_OFFSET + 1) return reject("no MAC address");

    switch (command) {
    case CMD_READ_NETWORK:
        if (in.size() != kMacOnlyRequestSize) return reject("network read of the wrong size");
        for (uint32_t i : Addressed(in)) out.push_back({i, NetworkReply(m_devices[i])});
        return out;

    case CMD_WRITE_NETWORK: {
        if (in.size() != kNetworkWriteRequestSize) return reject("network write of the wrong size");
        const auto block = in.subspan<FRAME_PAYLOAD_OFFSET, NETWORK_PARAMS_SIZE>();
        for (uint32_t i : Addressed(in)) {
            ++m_writes;
            if (!m_options.storeNothing) m_devices[i].network = DecodeNetworkParams(block);
            if (m_options.acknowledge) out.push_back({i, AckReply(command, m_devices[i].mac)});
        }
        return out;
    }

    case CMD_FACTORY_DEFAULTS:
        if (in.size() != kMacOnlyRequestSize) return reject("factory defaults of the wrong size");
        for (uint32_t i : Addressed(in)) {
            ++m_writes;
            Device& d = m_devices[i];
            if (!m_options.storeNothing) {
                d.network = d.factoryNetwork;
                d.params = d.factoryParams;
            }
            if (m_options.acknowledge) out.push_back({i, AckReply(command, d.mac)});
        }
        return out;

    case CMD_WRITE_MAC: {
        if (in.size() != kWriteMacRequestSize) return reject("MAC write of the wrong size");
        MacAddress newMac;
        std::copy_n(in.begin() + FRAME_PAYLOAD_OFFSET, MAC_SIZE, newMac.begin());
        const auto addressed = Addressed(in);
        for (uint32_t i : addressed) {
            ++m_writes;
            if (!m_options.storeNothing) m_devices[i].mac = newMac;
            if (m_options.acknowledge) out.push_back({i, AckReply(command, m_devices[i].mac)});
        }
        if (!addressed.empty() && !m_options.storeNothing) Reindex();
        return out;
    }

    case CMD_DEVICE_PARAMS: {
        const auto inner = in.subspan(FRAME_PAYLOAD_OFFSET, in.size() - FRAME_PAYLOAD_OFFSET - 1);
        if (inner.size() < DEVICE_READ_FRAME_SIZE) return reject("device frame too short");
        const size_t body = inner.size() - DEVICE_CRC_SIZE;
        if (Crc16Modbus(inner.first(body)) != ByteReader(inner).At(body).U16())
            return reject("device frame CRC");
        if (inner[DF_START] != DEVICE_FRAME_START) return reject("device frame start mark");
        const uint8_t function = inner[DF_FUNCTION];
        if (function == DEVICE_FUNC_READ) {
            for (uint32_t i : Addressed(in))
                out.push_back({i, DeviceParamsReply(m_devices[i], m_options.deviceReplyCommand)});
            return out;
        }
        if (function != DEVICE_FUNC_WRITE) return reject("unknown device frame function");
        if (inner.size() != DEVICE_FRAME_SIZE) return reject("device write of the wrong size");
        DeviceBlock block;
        std::copy_n(inner.begin() + DF_SERVER_COUNT, block.size(), block.begin());
        const DeviceParams stored = DecodeDeviceBlock(block);
        for (uint32_t i : Addressed(in)) {
            ++m_writes;
            if (!m_options.storeNothing) m_devices[i].params = stored;
            out.push_back({i, DeviceWriteAck(m_devices[i].mac, m_options.deviceReplyCommand)});
        }
        return out;
    }

    default:
        return reject("unknown command");
    }
}

} // namespace vornik::sim

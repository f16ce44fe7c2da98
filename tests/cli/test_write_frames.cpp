// vornikctl writes exactly the window's bytes: the same device, the same
// values typed into the window's pages and given as vornikctl fields, and the
// two write frames must be equal, down to the bytes neither shows.
#include <gtest/gtest.h>

#include "cli/jobs.h"
#include "crc_reference.h"
#include "ops_fixture.h"
#include "settings/settings.h"

using namespace vornik;
using namespace vornik::test;
using settings::Block;

namespace {

const MacAddress kMac{0x02, 0x5A, 0xC3, 0x10, 0x20, 0x30};

// A device block with bytes that no page shows: reserved bytes, a mode byte
// with more bits than the static flag, text tails after each target address.
NetworkParams DeviceNetwork()
{
    NetworkParams p;
    p.ipMode = 0x81;
    p.ipAddress = 0xC0A80065;
    p.gateway = 0xC0A80001;
    p.subnetMask = 0xFFFFFF00;
    p.carriedBytes = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02};
    p.maxConnections = 5;
    for (size_t k = 0; k < SERVER_COUNT; ++k) {
        p.servers[k].localPort = uint16_t(3000 + k);
        p.servers[k].targetPort = uint16_t(4000 + k);
        p.servers[k].targetAddress.fill(uint8_t('A' + k));
        StoreTargetAddress(p.servers[k].targetAddress, "10.0.0." + std::to_string(k + 1));
    }
    return p;
}

DeviceParams DeviceBlock()
{
    DeviceParams p;
    p.serverCount = 2;
    p.terminalAddress = 0xCAFE0102;
    p.loginInterval = 7;
    p.heartbeatInterval = 61;
    p.uploadInterval = 9;
    p.workMode = 1;
    p.baudRate = 19200;
    p.dataBits = 8;
    p.parity = 1;
    p.stopBits = 2;
    p.modbusTerminalCount = 3;
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        p.channelAddress[c] = uint8_t(10 + c);
        p.tempUpperLimit[c] = int16_t(500 + c);
        p.tempLowerLimit[c] = int16_t(-100 - int(c));
        p.humidityUpperLimit[c] = uint16_t(900 + c);
        p.humidityLowerLimit[c] = uint16_t(c);
    }
    return p;
}

// One change as typed on each side: a vornikctl field and what the window's page gets.
struct Edit {
    const char* assignment;
    std::function<void(MemoryControls&)> onPage;
};

std::function<void(MemoryControls&)> Text(int id, const char* text)
{
    return [id, text](MemoryControls& page) { page.SetText(id, text); };
}
std::function<void(MemoryControls&)> Select(int id, int index)
{
    return [id, index](MemoryControls& page) { page.SetSel(id, index); };
}

class WriteFrames : public OpsTest {
protected:
    WriteFrames() { state.TargetMac = kMac; }

    // The window reads the device first, as the tool does; this also undoes
    // the edits of the case before.
    void ReadDevice()
    {
        ops.OnReadDeviceParams(); // the replies answer a read, not the last write's read-back
        const NetworkParamsImage image = EncodeNetworkParams(DeviceNetwork());
        std::vector<uint8_t> payload(kMac.begin(), kMac.end());
        payload.insert(payload.end(), image.begin(), image.end());
        Receive(BuildReply(CMD_READ_NETWORK, uint16_t(1 + payload.size()), payload));
        std::array<uint8_t, DEVICE_FRAME_SIZE> inner{};
        BuildDeviceFrame(inner, DEVICE_FUNC_WRITE, DeviceBlock());
        inner[DF_FUNCTION] = DEVICE_FUNC_READ;
        // A CRC the program's table did not make: a faulty table refuses the read.
        const uint16_t crc = BitwiseCrc16(std::span<const uint8_t>(inner.data(), DF_CRC));
        inner[DF_CRC] = uint8_t(crc & 0xFF);
        inner[DF_CRC + 1] = uint8_t(crc >> 8);
        std::vector<uint8_t> devPayload(kMac.begin(), kMac.end());
        devPayload.insert(devPayload.end(), inner.begin(), inner.end());
        Receive(BuildReply(CMD_DEVICE_PARAMS, uint16_t(inner.size()), devPayload));
        EXPECT_TRUE(ops.DeviceParamsRead());
    }

    Frame WindowNetworkWrite(const std::vector<Edit>& edits)
    {
        for (const Edit& e : edits) e.onPage(net);
        ops.OnWriteNetworkParams();
        return SentWrite(); // before its read-back
    }
    Frame WindowDeviceWrite(const std::vector<Edit>& edits)
    {
        for (const Edit& e : edits) e.onPage(dev);
        ops.OnWriteDeviceParams();
        return SentWrite(); // before its read-back
    }
    static settings::Patch PatchOf(Block block, const std::vector<Edit>& edits)
    {
        settings::Patch patch;
        for (const Edit& e : edits) EXPECT_FALSE(patch.SetAssignment(block, e.assignment)) << e.assignment;
        return patch;
    }
};

TEST_F(WriteFrames, NetworkWriteEqualsTheWindowsForOneFieldAndForEveryField)
{
    const std::vector<std::vector<Edit>> cases = {
        {},
        {{"server3.target-address=host.example", Text(SERVER_CONTROL_IDS[2].targetAddress, "host.example")}},
        {{"mode=dhcp", Select(IDC_NET_IP_MODE, 1)},
         {"ip=10.1.2.3", Text(IDC_NET_IP_ADDRESS, "10.1.2.3")},
         {"mask=255.255.0.0", Text(IDC_NET_SUBNET_MASK, "255.255.0.0")},
         {"gateway=10.1.0.254", Text(IDC_NET_GATEWAY, "10.1.0.254")},
         {"max-connections=0", Select(IDC_NET_MAX_CONNECTIONS, 0)},
         {"server1.local-port=65535", Text(SERVER_CONTROL_IDS[0].localPort, "65535")},
         {"server1.target-port=0", Text(SERVER_CONTROL_IDS[0].targetPort, "0")},
         {"server8.target-address=12345678901234567890123456789",
          Text(SERVER_CONTROL_IDS[7].targetAddress, "12345678901234567890123456789")},
         {"server8.local-port=502", Text(SERVER_CONTROL_IDS[7].localPort, "502")}},
        {{"mode=static", Select(IDC_NET_IP_MODE, 0)}},
    };
    for (const auto& edits : cases) {
        ReadDevice();
        const Frame tool =
            cli::NetworkWriteFrame(kMac, cli::NetworkToWrite(DeviceNetwork(), PatchOf(Block::Network, edits)));
        EXPECT_EQ(ToHex(tool), ToHex(WindowNetworkWrite(edits))) << (edits.empty() ? "no change" : edits[0].assignment);
    }
}

TEST_F(WriteFrames, DeviceWriteEqualsTheWindowsForOneFieldAndForEveryField)
{
    const std::vector<std::vector<Edit>> cases = {
        {},
        {{"channel4.temp-upper=25.3", Text(LimitEditIds[3].tempUpper, "25.3")}},
        {{"server-count=8", Select(IDC_DEV_SERVER_COUNT, 8)},
         {"terminal-address=0A1b2C3d", Text(IDC_DEV_TERMINAL_ADDRESS, "0A1b2C3d")},
         {"login-interval=65535", Text(IDC_DEV_LOGIN_INTERVAL, "65535")},
         {"heartbeat-interval=0", Text(IDC_DEV_HEARTBEAT_INTERVAL, "0")},
         {"upload-interval=300", Text(IDC_DEV_UPLOAD_INTERVAL, "300")},
         {"work-mode=4-20mA", Select(IDC_DEV_WORK_MODE, 5)},
         {"baud=115200", Text(IDC_DEV_BAUD_RATE, "115200")},
         {"data-bits=7", Select(IDC_DEV_DATA_BITS, 2)},
         {"parity=even", Select(IDC_DEV_PARITY, 2)},
         {"stop-bits=1", Select(IDC_DEV_STOP_BITS, 0)},
         {"modbus-terminal-count=255", Text(IDC_DEV_MODBUS_TERMINAL_COUNT, "255")},
         {"channel1.address=247", Text(CHANNEL_ADDRESS_IDS[0], "247")},
         {"channel8.temp-upper=3276.7", Text(LimitEditIds[7].tempUpper, "3276.7")},
         {"channel8.temp-lower=-3276.8", Text(LimitEditIds[7].tempLower, "-3276.8")},
         {"channel8.humidity-upper=3276.7", Text(LimitEditIds[7].humidityUpper, "3276.7")},
         {"channel8.humidity-lower=0.1", Text(LimitEditIds[7].humidityLower, "0.1")},
         {"channel2.temp-lower=-0.5", Text(LimitEditIds[1].tempLower, "-0.5")}},
    };
    for (const auto& edits : cases) {
        ReadDevice();
        const Frame tool = cli::DeviceWriteFrame(kMac, cli::DeviceToWrite(DeviceBlock(), PatchOf(Block::Device, edits)));
        EXPECT_EQ(ToHex(tool), ToHex(WindowDeviceWrite(edits))) << (edits.empty() ? "no change" : edits[0].assignment);
    }
}

} // namespace

// The device operations on three in-memory dialogs and a link that records
// what it is asked to send.
#pragma once

#include <gtest/gtest.h>

#include "hex.h"
#include "ops/control_ids.h"
#include "ops/device_ops.h"
#include "ops/memory_controls.h"

namespace vornik::test {

struct RecordingLink : IFrameSender {
    std::vector<Frame> frames;
    int openCount = 0;
    void OpenEndpoints() override { ++openCount; }
    void SendFrame(const uint8_t* frame, size_t length) override { frames.emplace_back(frame, frame + length); }
};

inline std::vector<std::string> Entries(int count)
{
    std::vector<std::string> e;
    for (int i = 0; i < count; ++i) e.push_back(std::to_string(i));
    return e;
}

// The pages' drop-down lists with as many entries as the real ones.
inline void AddPageLists(MemoryControls& net, MemoryControls& dev)
{
    net.AddList(IDC_NET_IP_MODE, {"StaticIP", "DHCP/autoIP"});
    net.AddList(IDC_NET_MAX_CONNECTIONS, Entries(9));
    dev.AddList(IDC_DEV_SERVER_COUNT, Entries(9));
    dev.AddList(IDC_DEV_WORK_MODE, Entries(6));
    dev.AddList(IDC_DEV_DATA_BITS, {"5", "6", "7", "8", "9"});
    dev.AddList(IDC_DEV_PARITY, {"NONE", "ODD", "EVEN"});
    dev.AddList(IDC_DEV_STOP_BITS, {"1", "2"});
}

class OpsTest : public testing::Test {
protected:
    OpsTest()
    {
        AddPageLists(net, dev);
        ops.ShowWelcome();
        ops.SetStartupValues();
        ops.m_deviceParamsRead = false;
    }

    std::string Info() const { return main.GetText(IDC_INFO); }
    void Receive(const std::vector<uint8_t>& datagram) { ops.DispatchFrame(datagram); }
    std::string LastFrame() const { return link.frames.empty() ? std::string() : ToHex(link.frames.back()); }

    SetupState state;
    MemoryControls main, net, dev;
    RecordingLink link;
    DeviceOps ops{state, main, net, dev, link};
};

} // namespace vornik::test

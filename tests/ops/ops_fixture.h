// The device operations on three in-memory dialogs and a link that records
// what it is asked to send.
#pragma once

#include <gtest/gtest.h>

#include "hex.h"
#include "ops/control_ids.h"
#include "ops/device_ops.h"
#include "memory_controls.h"
#include "page_lists.h"

namespace vornik::test {

struct RecordingLink : IFrameSender {
    std::vector<Frame> frames;
    int openCount = 0;
    void OpenEndpoints() override { ++openCount; }
    void SendFrame(const uint8_t* frame, size_t length) override { frames.emplace_back(frame, frame + length); }
};

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

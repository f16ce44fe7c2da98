// The device operations on three in-memory dialogs and a link that records
// what it is asked to send.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "device_ops_probe.h"
#include "hex.h"
#include "ops/control_ids.h"
#include "ops/device_ops.h"
#include "memory_controls.h"
#include "page_lists.h"

namespace vornik::test {

struct RecordingLink : IFrameSender {
    std::vector<Frame> frames;
    int openCount = 0;
    // Runs inside each send, as a box with an event loop of its own would.
    std::function<void(const Frame&)> during;
    void OpenEndpoints() override { ++openCount; }
    void SendFrame(const uint8_t* frame, size_t length) override
    {
        frames.emplace_back(frame, frame + length);
        if (during) during(frames.back());
    }
};

// The operations on in-memory dialogs, ready as the window is after start-up.
struct OpsRig {
    OpsRig()
    {
        AddPageLists(net, dev);
        ops.ShowWelcome();
        ops.SetStartupValues();
        ops.CloseDeviceWrite();
    }

    std::string Info() const { return main.GetText(IDC_INFO); }
    void Receive(const std::vector<uint8_t>& datagram) { ops.DispatchFrame(datagram); }
    std::string LastFrame() const { return link.frames.empty() ? std::string() : ToHex(link.frames.back()); }
    // The last write: a write is followed by the read of its block (11 or 15 bytes, the write longer).
    Frame SentWrite() const
    {
        const auto f = std::find_if(link.frames.rbegin(), link.frames.rend(), [](const Frame& f) { return f.size() > 15; });
        return f == link.frames.rend() ? Frame{} : *f;
    }

    SetupState state;
    MemoryControls main, net, dev;
    RecordingLink link;
    DeviceOps ops{state, main, net, dev, link};
};

class OpsTest : public testing::Test, public OpsRig {};

} // namespace vornik::test

// Operator sessions against simulated devices: the real link on loopback, the
// device operations on in-memory dialogs, and the test's thread standing in
// for the window's, handling each handed-over datagram in order.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "hex.h"
#include "link_fixture.h"
#include "ops_fixture.h"

namespace vornik::test {
namespace {

const std::vector<std::string> kTwoDevices = {"--devices", "2", "--base-ip", "10.0.0.100", "--base-mac",
                                               "02-00-00-00-00-01"};

class EndToEnd : public testing::Test {
protected:
    // The fleet: two devices, with the simulator's extra switches.
    explicit EndToEnd(const std::vector<std::string>& switches = {})
        : sim(LoopbackSimArgs(port, [&] {
              auto args = kTwoDevices;
              args.insert(args.end(), switches.begin(), switches.end());
              return args;
          }()))
    {
        AddPageLists(net, dev);
        ops.ShowWelcome();
        ops.SetStartupValues();
        link.Start();
    }

    // Hands every datagram received so far to the operations, until `done`
    // holds or five seconds have passed.
    bool PumpUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            const auto all = inbox.Now();
            for (; handled < all.size(); ++handled) {
                seen.push_back(all[handled]);
                ops.DispatchFrame(all[handled]);
            }
            if (done()) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    bool InfoHas(const char* utf8) const { return main.GetText(IDC_INFO).find(Gbk(utf8)) != std::string::npos; }
    bool ReplySeen(uint8_t command) const
    {
        for (const auto& d : seen)
            if (d.size() > 3 && d[0] == 0x55 && d[3] == command) return true;
        return false;
    }
    void Search(int expectedRows)
    {
        ops.SearchDevices();
        ASSERT_TRUE(PumpUntil([&] { return main.RowCount(IDC_DEVICE_LIST) >= expectedRows; }))
            << "rows: " << main.RowCount(IDC_DEVICE_LIST);
    }
    // Double-clicks the row showing the MAC and waits for the page to fill.
    void ReadNetwork(const std::string& macCell)
    {
        int row = -1;
        for (int r = 0; r < main.RowCount(IDC_DEVICE_LIST); ++r)
            if (main.GetCell(IDC_DEVICE_LIST, r, COL_MAC) == macCell) row = r;
        ASSERT_GE(row, 0) << macCell;
        main.SelectRow(IDC_DEVICE_LIST, row);
        ops.OnDeviceListDoubleClick();
        ASSERT_TRUE(PumpUntil([&] { return InfoHas("读取网络参数成功！"); }));
    }
    void AwaitReply(uint8_t command)
    {
        seen.clear();
        // Polled as the window's timer polls: an operation's next request goes then.
        ASSERT_TRUE(PumpUntil([&] { return ops.CheckAnswers(), ReplySeen(command); })) << "no reply " << int(command);
    }

    uint16_t port = FreeUdpPort();
    SimProcess sim;
    Inbox inbox;
    std::vector<std::string> messages;
    UdpLink link{LoopbackLinkConfig(port, {Loopback(2)}), [this](const LinkError& e) { messages.push_back(LinkErrorText936(e)); },
                 inbox.Sink()};
    size_t handled = 0;
    std::vector<std::vector<uint8_t>> seen;

    SetupState state;
    MemoryControls main, net, dev;
    DeviceOps ops{state, main, net, dev, link};
};

TEST_F(EndToEnd, SearchListsEveryDevice)
{
    ASSERT_TRUE(sim.Ready());
    Search(2);
    EXPECT_EQ(main.RowCount(IDC_DEVICE_LIST), 2);
    std::set<std::string> macs, ips;
    for (int r = 0; r < 2; ++r) {
        macs.insert(main.GetCell(IDC_DEVICE_LIST, r, COL_MAC));
        ips.insert(main.GetCell(IDC_DEVICE_LIST, r, COL_DEVICE_IP));
        EXPECT_EQ(main.GetCell(IDC_DEVICE_LIST, r, COL_FIRMWARE), "100");
    }
    EXPECT_EQ(macs, (std::set<std::string>{"020000000001", "020000000002"}));
    EXPECT_EQ(ips, (std::set<std::string>{"10.0.0.100", "10.0.0.101"}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(EndToEnd, NetworkWriteThenReadShowsTheNewValues)
{
    ASSERT_TRUE(sim.Ready());
    Search(2);
    ReadNetwork("020000000002");
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "10.0.0.101");
    EXPECT_EQ(net.GetText(1015), "192.168.0.166");

    net.SetText(1015, "10.9.8.7");
    net.SetText(1016, "4321");
    net.SetText(1044, "server.example");
    ops.OnWriteNetworkParams();
    AwaitReply(CMD_WRITE_NETWORK);

    net.SetText(1015, "");
    net.SetText(1016, "");
    ReadNetwork("020000000002");
    EXPECT_EQ(net.GetText(1015), "10.9.8.7");
    EXPECT_EQ(net.GetText(1016), "4321");
    EXPECT_EQ(net.GetText(1044), "server.example");
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "10.0.0.101");

    // The other device kept its own values.
    ReadNetwork("020000000001");
    EXPECT_EQ(net.GetText(1015), "192.168.0.166");
}

TEST_F(EndToEnd, FactoryDefaultsThenReadShowsFactoryValues)
{
    ASSERT_TRUE(sim.Ready());
    Search(2);
    ReadNetwork("020000000001");
    net.SetText(1014, "9999");
    net.SetSel(IDC_NET_MAX_CONNECTIONS, 2);
    ops.OnWriteNetworkParams();
    AwaitReply(CMD_WRITE_NETWORK);
    ReadNetwork("020000000001");
    ASSERT_EQ(net.GetText(1014), "9999");

    ops.OnFactoryDefaults();
    AwaitReply(CMD_FACTORY_DEFAULTS);
    ReadNetwork("020000000001");
    EXPECT_EQ(net.GetText(1014), "2000");
    EXPECT_EQ(net.GetSel(IDC_NET_MAX_CONNECTIONS), 8);
}

TEST_F(EndToEnd, MacWriteShowsInTheNextSearch)
{
    ASSERT_TRUE(sim.Ready());
    Search(2);
    ReadNetwork("020000000001");
    net.SetText(IDC_NET_MAC, "02-5a-c3-00-00-99");
    ops.OnWriteMac();
    AwaitReply(CMD_WRITE_MAC);
    Search(2);
    std::set<std::string> macs;
    for (int r = 0; r < main.RowCount(IDC_DEVICE_LIST); ++r) macs.insert(main.GetCell(IDC_DEVICE_LIST, r, COL_MAC));
    EXPECT_EQ(macs, (std::set<std::string>{"025AC3000099", "020000000002"}));
}

TEST_F(EndToEnd, DeviceParametersWriteThenRead)
{
    ASSERT_TRUE(sim.Ready());
    Search(2);
    ReadNetwork("020000000002");
    ops.OnReadDeviceParams();
    ASSERT_TRUE(PumpUntil([&] { return InfoHas("读取设备参数成功！"); }));
    EXPECT_EQ(dev.GetText(IDC_DEV_TERMINAL_ADDRESS), "12345678");

    dev.SetText(IDC_DEV_HEARTBEAT_INTERVAL, "90");
    dev.SetText(IDC_DEV_TERMINAL_ADDRESS, "a1b2c3d4");
    dev.SetText(LimitEditIds[0].tempUpper, "45.5");
    dev.SetText(LimitEditIds[0].tempLower, "-20");
    dev.SetText(LimitEditIds[7].humidityUpper, "85.0");
    dev.SetSel(IDC_DEV_PARITY, 2);
    ops.OnWriteDeviceParams();
    ASSERT_TRUE(PumpUntil([&] { return InfoHas("下载设备参数成功！"); }));

    for (int id : {IDC_DEV_HEARTBEAT_INTERVAL, IDC_DEV_TERMINAL_ADDRESS, LimitEditIds[0].tempUpper,
                   LimitEditIds[0].tempLower, LimitEditIds[7].humidityUpper})
        dev.SetText(id, "");
    ops.OnReadDeviceParams();
    ASSERT_TRUE(PumpUntil([&] { return InfoHas("读取设备参数成功！"); }));
    EXPECT_EQ(dev.GetText(IDC_DEV_HEARTBEAT_INTERVAL), "90");
    EXPECT_EQ(dev.GetText(IDC_DEV_TERMINAL_ADDRESS), "a1b2c3d4");
    EXPECT_EQ(dev.GetText(LimitEditIds[0].tempUpper), "45.5");
    EXPECT_EQ(dev.GetText(LimitEditIds[0].tempLower), "-20.0");
    EXPECT_EQ(dev.GetText(LimitEditIds[7].humidityUpper), "85.0");
    EXPECT_EQ(dev.GetSel(IDC_DEV_PARITY), 2);
}

// Writes settled by their read-back: a device that keeps nothing, one that
// sends no acknowledgement, one silent among devices that answer.
class ReadBackEndToEnd : public EndToEnd {
protected:
    using EndToEnd::EndToEnd;
    // Reads device 1, types one field and writes its page to `to`; waits on the real clock for the line.
    bool WriteSays(bool network, int control, const char* typed, const char* line, MacAddress to = {2, 0, 0, 0, 0, 1})
    {
        Search(2);
        ReadNetwork("020000000001");
        ops.OnReadDeviceParams();
        if (!PumpUntil([&] { return InfoHas("读取设备参数成功！"); })) return false;
        state.TargetMac = to;
        // Device 1's values go to another device only as the operator's own, as from a file.
        if (to != MacAddress{2, 0, 0, 0, 0, 1}) DeviceOpsProbe::OpenDeviceWrite(ops);
        (network ? net : dev).SetText(control, typed);
        network ? ops.OnWriteNetworkParams() : ops.OnWriteDeviceParams();
        return PumpUntil([&] { return ops.CheckAnswers(), InfoHas(line); });
    }
};
struct StoresNothing : ReadBackEndToEnd {
    StoresNothing() : ReadBackEndToEnd({"--store-nothing"}) {}
};
struct SendsNoAcknowledgement : ReadBackEndToEnd {
    SendsNoAcknowledgement() : ReadBackEndToEnd({"--no-ack"}) {}
};

TEST_F(StoresNothing, TheWriteIsSaidToDifferAndASilentDeviceNotToAnswer)
{
    ASSERT_TRUE(sim.Ready());
    EXPECT_TRUE(WriteSays(false, LimitEditIds[3].tempLower, "-0.5",
                          "读回与写入不同：设备 02-00-00-00-00-01 的 4号通道 温度下限 -0.5 → "));
    EXPECT_TRUE(WriteSays(true, IDC_NET_GATEWAY, "10.0.0.1",
                          "未能确认写入：设备 02-00-00-00-00-09 在3秒内没有读回网络参数\r\n", {2, 0, 0, 0, 0, 9}));
}

TEST_F(SendsNoAcknowledgement, TheReadBackStillConfirms)
{
    ASSERT_TRUE(sim.Ready());
    EXPECT_TRUE(WriteSays(true, SERVER_CONTROL_IDS[2].targetPort, "4001",
                          "读回确认：设备 02-00-00-00-00-01 的网络参数已写入\r\n"));
}

} // namespace
} // namespace vornik::test

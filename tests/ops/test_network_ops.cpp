#include "ops_fixture.h"
#include <algorithm>


namespace vornik::test {
namespace {

class NetworkOps : public OpsTest {
protected:
    // A block with bytes placed at block offsets, as a device would send it.
    static std::vector<uint8_t> Block(std::initializer_list<std::pair<size_t, const char*>> fields)
    {
        std::vector<uint8_t> block(292, 0);
        for (const auto& [offset, hex] : fields) {
            const auto bytes = Hex(hex);
            std::copy(bytes.begin(), bytes.end(), block.begin() + long(offset));
        }
        return block;
    }
    static std::vector<uint8_t> Ascii(const char* text)
    {
        std::string s(text);
        return std::vector<uint8_t>(s.begin(), s.end());
    }
    static std::vector<uint8_t> NetworkReply(const std::vector<uint8_t>& block)
    {
        auto frame = Hex("55 01 2B 03 00 11 AA BB CC DD");
        frame.insert(frame.end(), block.begin(), block.end());
        frame.push_back(0);
        return frame;
    }
    // The reply of 00-11-AA-BB-CC-DD, the device a double-click chose.
    void ReceiveNetworkReply(const std::vector<uint8_t>& block)
    {
        state.TargetMac = {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD};
        Receive(NetworkReply(block));
    }
    // A device block: static 10.0.0.5/255.0.0.0 gw 10.0.0.1, carried 01..06, max 3,
    // server 1 ports 1234/5678 to "192.168.0.166", server 8 ports 1/2 to "srv".
    std::vector<uint8_t> DeviceBlock()
    {
        auto b = Block({{0, "80"},
                        {1, "05 00 00 0A"},
                        {5, "01 00 00 0A"},
                        {9, "00 00 00 FF"},
                        {13, "01 02 03 04 05 06"},
                        {19, "03"},
                        {20, "D2 04 2E 16"},
                        {258, "01 00 02 00"}});
        const auto a1 = Ascii("192.168.0.166");
        std::copy(a1.begin(), a1.end(), b.begin() + 24);
        const auto a8 = Ascii("srv");
        std::copy(a8.begin(), a8.end(), b.begin() + 262);
        return b;
    }
    // A listed device, as a search reply lists it (10.0.0.5, firmware 100).
    void ListDevice(const char* mac)
    {
        DeviceRow row{0x0A000005, {}, 100};
        std::copy_n(Hex(mac).begin(), MAC_SIZE, row.mac.begin());
        main.InsertDeviceRow(IDC_DEVICE_LIST, 0, row);
    }
    void SelectDevice(const char* mac)
    {
        ListDevice(mac);
        main.SelectRow(IDC_DEVICE_LIST, 0);
        ops.OnDeviceListDoubleClick();
    }
    // The frame the write sent, or none (empty): callers assert its size
    // before they look into it.
    std::vector<uint8_t> WriteFrame()
    {
        const size_t before = link.frames.size();
        ops.OnWriteNetworkParams();
        return link.frames.size() > before ? SentWrite() : std::vector<uint8_t>{};
    }
};

TEST_F(NetworkOps, DoubleClickChoosesTheDeviceAndReads)
{
    SelectDevice("00 11 AA BB CC DD");
    EXPECT_EQ(LastFrame(), "AA 00 07 03 00 11 AA BB CC DD 22");
    EXPECT_EQ(ToHex(state.TargetMac), "00 11 AA BB CC DD");
    EXPECT_EQ(net.GetText(IDC_NET_MAC), "00-11-AA-BB-CC-DD");
    EXPECT_EQ(Info(), Gbk("读取参数...\r\n"));
}

// The request goes to the MAC the reply carried, whatever the row's MAC cell
// shows now: nothing shown is read back.
TEST_F(NetworkOps, DoubleClickTakesTheRowsMacNotItsCellText)
{
    // Emptied, cut short, no hex, another device's MAC.
    for (const char* cell : {"", "0011A", "ZZ1122334455", "66778899AABB"}) {
        SCOPED_TRACE(cell);
        main.ClearRows(IDC_DEVICE_LIST);
        ListDevice("00 11 AA BB CC DD");
        ListDevice("02 00 00 00 00 09"); // on top: the selected row is the second
        main.SetCell(IDC_DEVICE_LIST, 1, COL_MAC, cell);
        main.SelectRow(IDC_DEVICE_LIST, 1);
        ops.OnDeviceListDoubleClick();
        EXPECT_EQ(LastFrame(), "AA 00 07 03 00 11 AA BB CC DD 22");
        EXPECT_EQ(ToHex(state.TargetMac), "00 11 AA BB CC DD");
        EXPECT_EQ(net.GetText(IDC_NET_MAC), "00-11-AA-BB-CC-DD");
    }
}

TEST_F(NetworkOps, DoubleClickWithoutSelectionDoesNothing)
{
    ListDevice("00 11 AA BB CC DD");
    const std::string info = Info();
    ops.OnDeviceListDoubleClick();
    EXPECT_TRUE(link.frames.empty());
    EXPECT_EQ(ToHex(state.TargetMac), "00 00 00 00 00 00");
    EXPECT_EQ(net.GetText(IDC_NET_MAC), "02-5A-C3-00-00-00");
    EXPECT_EQ(Info(), info);
}

TEST_F(NetworkOps, ReplyFillsThePage)
{
    SelectDevice("00 11 AA BB CC DD");
    ReceiveNetworkReply(DeviceBlock());
    EXPECT_EQ(net.GetSel(IDC_NET_IP_MODE), 0);
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "10.0.0.5");
    EXPECT_EQ(net.GetText(IDC_NET_GATEWAY), "10.0.0.1");
    EXPECT_EQ(net.GetText(IDC_NET_SUBNET_MASK), "255.0.0.0");
    EXPECT_TRUE(net.IsEnabled(IDC_NET_IP_ADDRESS));
    EXPECT_EQ(net.GetSel(IDC_NET_MAX_CONNECTIONS), 3);
    EXPECT_EQ(net.GetText(1014), "1234");
    EXPECT_EQ(net.GetText(1015), "192.168.0.166");
    EXPECT_EQ(net.GetText(1016), "5678");
    EXPECT_EQ(net.GetText(1056), "0"); // server 2 sent zeros
    EXPECT_EQ(net.GetText(1057), "");
    EXPECT_EQ(net.GetText(1043), "1");
    EXPECT_EQ(net.GetText(1044), "srv");
    EXPECT_EQ(net.GetText(1045), "2");
    EXPECT_EQ(Info(), Gbk("读取参数...\r\n读取网络参数成功！\r\n"));
}

TEST_F(NetworkOps, DhcpReplyDisablesButFillsTheAddressFields)
{
    auto block = DeviceBlock();
    block[0] = 0x7F;
    ReceiveNetworkReply(block);
    EXPECT_EQ(net.GetSel(IDC_NET_IP_MODE), 1);
    for (int id : {IDC_NET_IP_ADDRESS, IDC_NET_SUBNET_MASK, IDC_NET_GATEWAY}) EXPECT_FALSE(net.IsEnabled(id)) << id;
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "10.0.0.5");
}

TEST_F(NetworkOps, AReplyOfAnotherDeviceLeavesThePageAndSaysSo)
{
    state.TargetMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    const std::string before = Info();
    Receive(NetworkReply(DeviceBlock())); // from 00-11-AA-BB-CC-DD
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "192.168.0.9");
    EXPECT_EQ(Info(), before + Gbk("已忽略设备 00-11-AA-BB-CC-DD 的回复：不是双击选中的设备\r\n"));
    // The page holds no value of the chosen device: nothing is written to it.
    ops.OnWriteNetworkParams();
    EXPECT_TRUE(link.frames.empty());
    ASSERT_EQ(net.Boxes().size(), 1u);
    EXPECT_NE(net.Boxes()[0].text.find(Gbk("02-00-00-00-00-01")), std::string::npos);
}

TEST_F(NetworkOps, SecondReplyWins)
{
    ReceiveNetworkReply(DeviceBlock());
    auto block = DeviceBlock();
    block[1] = 0x06;
    ReceiveNetworkReply(block);
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "10.0.0.6");
}

TEST_F(NetworkOps, ShortReplyIsDropped)
{
    auto frame = Hex("55 01 2B 03 00 11 AA BB CC DD");
    const auto block = DeviceBlock();
    frame.insert(frame.end(), block.begin(), block.begin() + 100);
    Receive(frame);
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "192.168.0.9");
}

TEST_F(NetworkOps, WriteFromTheUntouchedStartupPage)
{
    // The start-up values as the operator's own, written to a device chosen after them.
    DeviceOpsProbe::OpenDeviceWrite(ops);
    state.TargetMac = {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD};
    const auto f = WriteFrame();
    ASSERT_EQ(f.size(), 303u);
    EXPECT_EQ(ToHex(std::span(f).first(34)),
              "AA 01 2B 04 00 11 AA BB CC DD 80 09 00 A8 C0 01 00 A8 C0 00 FF FF FF 00 00 00 00 00 00 08 D0 07 D0 07");
    EXPECT_EQ(std::string(f.begin() + 34, f.begin() + 48), std::string("192.168.0.166\0", 14));
    // 0x9B with six zero MAC bytes; these add 0x11+0xAA+0xBB+0xCC+0xDD = 0x31F.
    EXPECT_EQ(f[302], 0xBA);
    EXPECT_EQ(Info(), Gbk("设置参数... \r\n"));
}

TEST_F(NetworkOps, DhcpSendsTheDisabledFieldsAndModeZero)
{
    ReceiveNetworkReply(DeviceBlock());
    net.SetSel(IDC_NET_IP_MODE, 1);
    ops.OnIpModeChanged();
    net.SetText(IDC_NET_IP_ADDRESS, "10.1.2.3");
    const auto f = WriteFrame();
    ASSERT_EQ(f.size(), 303u);
    EXPECT_EQ(ToHex(std::span(f).subspan(10, 5)), "00 03 02 01 0A");
}

TEST_F(NetworkOps, IpModeRuleKeepsTheTexts)
{
    const int ids[] = {IDC_NET_IP_ADDRESS, IDC_NET_SUBNET_MASK, IDC_NET_GATEWAY};
    const struct {
        int selection;
        bool enabled;
    } steps[] = {{1, false}, {0, true}, {1, false}, {-1, true}};
    for (const auto& s : steps) {
        net.SetSel(IDC_NET_IP_MODE, s.selection);
        ops.OnIpModeChanged();
        for (int id : ids) EXPECT_EQ(net.IsEnabled(id), s.enabled) << s.selection << " " << id;
    }
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "192.168.0.9");
}

TEST_F(NetworkOps, MaxConnectionsAboveEightLeavesNoSelectionAndWritesFF)
{
    auto block = DeviceBlock();
    block[19] = 9;
    ReceiveNetworkReply(block);
    EXPECT_EQ(net.GetSel(IDC_NET_MAX_CONNECTIONS), -1);
    const auto f = WriteFrame();
    ASSERT_EQ(f.size(), 303u);
    EXPECT_EQ(f[29], 0xFF);
}

TEST_F(NetworkOps, ShortenedTargetAddressKeepsTheOldTail)
{
    ReceiveNetworkReply(DeviceBlock());
    net.SetText(1015, "10.0.0.1");
    const auto f = WriteFrame();
    ASSERT_EQ(f.size(), 303u);
    EXPECT_EQ(std::string(f.begin() + 34, f.begin() + 48), std::string("10.0.0.1\0.166\0", 14));
}

TEST_F(NetworkOps, CarriedBytesComeBackUnchanged)
{
    const auto carried = [this] {
        const auto f = WriteFrame();
        return f.size() == 303u ? ToHex(std::span(f).subspan(23, 6)) : std::string("no frame of 303 bytes");
    };
    EXPECT_EQ(carried(), "no frame of 303 bytes"); // the start-up page, no device chosen
    SelectDevice("00 11 AA BB CC DD"); // a read, not the write's read-back
    ReceiveNetworkReply(DeviceBlock());
    net.SetText(IDC_NET_GATEWAY, "10.9.9.9");
    EXPECT_EQ(carried(), "01 02 03 04 05 06");
    EXPECT_EQ(carried(), "01 02 03 04 05 06");
}

TEST_F(NetworkOps, SilentDeviceNeverGetsTheOldValues)
{
    SelectDevice("00 11 AA BB CC DD");
    ReceiveNetworkReply(DeviceBlock());
    SelectDevice("02 00 00 00 00 01"); // does not answer
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "10.0.0.5");
    EXPECT_TRUE(WriteFrame().empty());
    ASSERT_EQ(net.Boxes().size(), 1u);
    EXPECT_EQ(net.Boxes()[0].text, Gbk("页面上的网络参数不是从选中的设备 02-00-00-00-00-01 读取的：请先双击该设备读取它的"
                                       "网络参数，修改后再点击\"参数配置\""));
}

TEST_F(NetworkOps, WriteMacSendsTheNewAddress)
{
    state.TargetMac = {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD};
    net.SetText(IDC_NET_MAC, "02-03-04-05-06-07");
    ops.OnWriteMac();
    EXPECT_EQ(LastFrame(), "AA 00 0D 0F 00 11 AA BB CC DD 02 03 04 05 06 07 49");
    EXPECT_EQ(Info(), Gbk("写入MAC地址...\r\n设备将改用新MAC地址 02-03-04-05-06-07：请重新搜索，找到后再读写参数\r\n"));
    EXPECT_EQ(ToHex(state.TargetMac), "00 11 AA BB CC DD");
    // Nothing more goes to the old MAC until a search shows whether the write took.
    ops.OnFactoryDefaults();
    EXPECT_EQ(link.frames.size(), 1u);
    ASSERT_EQ(net.Boxes().size(), 1u);
    EXPECT_EQ(net.Boxes()[0].text, Gbk("已给设备写入新MAC地址 02-03-04-05-06-07：请先点击\"搜索\"，确认设备以新地址出现后再操作"));
}

// After a MAC write the window follows the device to its new MAC as soon as
// it shows itself there, and only then.
TEST_F(NetworkOps, AfterAMacWriteTheNextRequestReachesTheDeviceUnderItsNewMac)
{
    auto searchReply = [](const char* mac) {
        return Hex(std::string("55 00 11 02 00 00 00 00 09 00 A8 C0 ") + mac + " 64 00 00");
    };
    auto networkReply = [&](const char* mac) {
        auto frame = Hex(std::string("55 01 2B 03 ") + mac);
        const auto block = DeviceBlock();
        frame.insert(frame.end(), block.begin(), block.end());
        frame.push_back(0);
        return frame;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> seen; // what arrives after the write
        const char* nextTarget;    // "": nothing goes out while the write is not shown
    } rows[] = {
        {"search finds it", searchReply("02 03 04 05 06 07"), "02 03 04 05 06 07"},
        {"a late read reply under the new MAC", networkReply("02 03 04 05 06 07"), "02 03 04 05 06 07"},
        {"another device found", searchReply("02 03 04 05 06 08"), ""},
        {"the old MAC still answers", networkReply("00 11 AA BB CC DD"), ""},
    };
    for (const auto& row : rows) {
        OpsRig t;
        t.state.TargetMac = {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD};
        t.net.SetText(IDC_NET_MAC, "02-03-04-05-06-07");
        t.ops.OnWriteMac();
        t.Receive(row.seen);
        const size_t sent = t.link.frames.size();
        t.ops.OnReadDeviceParams();
        if (*row.nextTarget)
            EXPECT_EQ(ToHex(std::span(t.link.frames.back()).subspan(4, 6)), row.nextTarget) << row.name;
        else
            EXPECT_EQ(t.link.frames.size(), sent) << row.name;
    }
    // Found under the new MAC, the device is named in the info area.
    state.TargetMac = {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD};
    net.SetText(IDC_NET_MAC, "02-03-04-05-06-07");
    ops.OnWriteMac();
    Receive(searchReply("02 03 04 05 06 07"));
    EXPECT_NE(Info().find(Gbk("已找到新MAC地址 02-03-04-05-06-07 的设备，之后的操作发往该设备\r\n")), std::string::npos);
}

TEST_F(NetworkOps, WriteMacRefusesMalformedText)
{
    state.TargetMac = {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD};
    for (const char* text : {"02:03:04:05:06:07", "020304050607", "02-03-04-05-06-0", "0G-03-04-05-06-07"}) {
        net.SetText(IDC_NET_MAC, text);
        ops.OnWriteMac();
        EXPECT_TRUE(link.frames.empty()) << text;
        EXPECT_EQ(Info(), Gbk("不合格的MAC地址格式!!!\r\n")) << text;
        EXPECT_EQ(net.GetText(IDC_NET_MAC), text);
    }
}

TEST_F(NetworkOps, FactoryDefaultsReadsTheBlocksBeforeTheResetGoes)
{
    state.TargetMac = {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD};
    ops.OnFactoryDefaults();
    ASSERT_EQ(link.frames.size(), 1u); // one request at a time: the device block's read follows
    EXPECT_EQ(ToHex(link.frames[0]), "AA 00 07 03 00 11 AA BB CC DD 22");
    EXPECT_EQ(Info(), Gbk("恢复出厂设置...\r\n"));
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "192.168.0.9");
    EXPECT_EQ(net.GetText(IDC_NET_MAC), "02-5A-C3-00-00-00");
}

TEST_F(NetworkOps, NoDeviceChosenSendsNothing)
{
    ops.OnFactoryDefaults();
    EXPECT_TRUE(link.frames.empty());
    ASSERT_EQ(net.Boxes().size(), 1u);
    EXPECT_EQ(net.Boxes()[0].text, Gbk("还没有选中设备：请先点击\"搜索\"，再在设备列表中双击要操作的设备"));
}

TEST_F(NetworkOps, IpModeByteIsWrittenAsExactly80Or00WhateverWasRead)
{
    const struct {
        uint8_t read;
        uint8_t written;
    } cases[] = {{0x81, 0x80}, {0xFF, 0x80}, {0x80, 0x80}, {0x01, 0x00}, {0x7F, 0x00}, {0x00, 0x00}};
    for (const auto& c : cases) {
        auto block = DeviceBlock();
        block[0] = c.read;
        // Read again: a reply after a write is its read-back, which leaves the page alone.
        SelectDevice("00 11 AA BB CC DD");
        ReceiveNetworkReply(block);
        const auto f = WriteFrame();
        ASSERT_EQ(f.size(), 303u) << int(c.read);
        EXPECT_EQ(f[10], c.written) << int(c.read);
    }
}

TEST_F(NetworkOps, PortsOf32768AndMoreShowUnsigned)
{
    ReceiveNetworkReply(Block({{0, "80"}, {20, "00 80 FF FF"}, {258, "01 80 FE FF"}}));
    EXPECT_EQ(net.GetText(1014), "32768"); // server 1 local port
    EXPECT_EQ(net.GetText(1016), "65535"); // server 1 target port
    EXPECT_EQ(net.GetText(1043), "32769"); // server 8 local port
    EXPECT_EQ(net.GetText(1045), "65534"); // server 8 target port
}

} // namespace
} // namespace vornik::test

namespace vornik::test {
namespace {

// A target address the read filled goes back as the reply's bytes only while
// it reads as filled: once edited, it is checked as any typed text is.
TEST_F(NetworkOps, AFilledTargetAddressEditedPastItsBoundsIsRefusedBeforeAnythingIsSent)
{
    const struct {
        const char* name;
        std::string text;
        bool sent;
    } rows[] = {
        {"as the read filled it", "192.168.0.166", true},
        {"29 bytes, the most it holds", std::string(29, 'a'), true},
        {"30 bytes", std::string(30, 'a'), false},
        {"a control character", "srv\x1b[2J", false},
    };
    for (const auto& row : rows) {
        ReceiveNetworkReply(DeviceBlock());
        net.SetText(SERVER_CONTROL_IDS[0].targetAddress, row.text);
        const size_t boxes = net.Boxes().size();
        link.frames.clear();
        ops.OnWriteNetworkParams();
        EXPECT_EQ(!link.frames.empty(), row.sent) << row.name;
        EXPECT_EQ(net.Boxes().size() == boxes, row.sent) << row.name;
    }
}

} // namespace
} // namespace vornik::test

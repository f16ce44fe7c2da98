#include "ops_fixture.h"

namespace vornik::test {
namespace {

using Discovery = OpsTest;

std::vector<uint8_t> SearchReply(const std::string& bytes8to19)
{
    return Hex("55 00 11 02 00 00 00 00 " + bytes8to19 + " 00");
}

TEST_F(Discovery, StartShowsTheWelcomeTextAndPort)
{
    EXPECT_EQ(Info(), Gbk("  本软件适用于：Vornik多探头产品的参数配置。\r\n"
                          "单击\"搜索\"按钮搜索设备，设备出现在设备列表后，双击设备更新信息到右边信息框中修改参数后，"
                          "点击\"参数配置\"按钮，设备将保存参数并自动重启\r\n"
                          "注意事项:\r\n"
                          "1、确保软件与设备在同一局域网内\r\n"
                          "2、请确定当前PC只使用一个网卡\r\n"
                          "3、请按照 搜索->双击选中并读取->参数配置 的步骤来操作\r\n"));
    EXPECT_EQ(main.GetText(IDC_LOCAL_PORT), "1901");
}

TEST_F(Discovery, SearchOpensEndpointsAndBroadcasts)
{
    ops.SearchDevices();
    EXPECT_EQ(link.openCount, 1);
    ASSERT_EQ(link.frames.size(), 1u);
    EXPECT_EQ(LastFrame(), "AA 00 01 02 02");
    EXPECT_EQ(Info(), Gbk("搜索...\r\n"));
    EXPECT_EQ(main.RowCount(IDC_DEVICE_LIST), 0);
}

// The row keeps the reply's values and where it came from; its cells show them.
TEST_F(Discovery, ReplyRowAsTheDeviceReportsIt)
{
    const struct {
        const char* bytes;
        ReplyOrigin from;
        uint32_t ip;
        const char* ipCell;
        const char* mac;
        const char* firmware;
    } cases[] = {
        {"A6 00 A8 C0 00 1A 2B 3C 4D 5E 64 00", {0xC0A800A6, 1901, 0xC0A80001}, 0xC0A800A6, "192.168.0.166",
         "001A2B3C4D5E", "100"},
        {"01 02 03 0A 0A 0B 0C 0D 0E 0F FF FF", {0x0A030201, 40000, 0x0A000001}, 0x0A030201, "10.3.2.1",
         "0A0B0C0D0E0F", "65535"},
        {"00 00 00 00 00 00 00 00 00 00 00 00", {}, 0, "0.0.0.0", "000000000000", "0"}, // origin unknown
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        ops.SearchDevices();
        ops.DispatchFrame(SearchReply(c.bytes), c.from);
        ASSERT_EQ(main.RowCount(IDC_DEVICE_LIST), 1);
        EXPECT_EQ(main.GetCell(IDC_DEVICE_LIST, 0, COL_DEVICE_IP), c.ipCell);
        EXPECT_EQ(main.GetCell(IDC_DEVICE_LIST, 0, COL_DEVICE_NAME), "");
        EXPECT_EQ(main.GetCell(IDC_DEVICE_LIST, 0, COL_MAC), c.mac);
        EXPECT_EQ(main.GetCell(IDC_DEVICE_LIST, 0, COL_FIRMWARE), c.firmware);

        const std::optional<DeviceRow> row = main.DeviceRowAt(IDC_DEVICE_LIST, 0);
        ASSERT_TRUE(row.has_value());
        EXPECT_EQ(row->ip, c.ip);
        EXPECT_EQ(ToHex(row->mac), ToHex(Hex(std::string(c.bytes).substr(12, 17))));
        EXPECT_EQ(std::to_string(row->firmware), c.firmware);
        EXPECT_EQ(row->sender, c.from.sender);
        EXPECT_EQ(row->senderPort, c.from.senderPort);
        EXPECT_EQ(row->adapter, c.from.adapter);
    }
    EXPECT_FALSE(main.DeviceRowAt(IDC_DEVICE_LIST, 1).has_value());
}

TEST_F(Discovery, LaterReplyOnTopAndOneLogLineEach)
{
    ops.SearchDevices();
    Receive(SearchReply("01 00 A8 C0 00 00 00 00 00 01 01 00"));
    Receive(SearchReply("02 00 A8 C0 00 00 00 00 00 02 02 00"));
    ASSERT_EQ(main.RowCount(IDC_DEVICE_LIST), 2);
    EXPECT_EQ(main.GetCell(IDC_DEVICE_LIST, 0, COL_DEVICE_IP), "192.168.0.2");
    EXPECT_EQ(main.GetCell(IDC_DEVICE_LIST, 1, COL_DEVICE_IP), "192.168.0.1");
    EXPECT_EQ(Info(), Gbk("搜索...\r\n搜索到设备\r\n搜索到设备\r\n"));
}

TEST_F(Discovery, SameDeviceTwiceGivesTwoRows)
{
    ops.SearchDevices();
    Receive(SearchReply("01 00 A8 C0 00 00 00 00 00 01 01 00"));
    Receive(SearchReply("01 00 A8 C0 00 00 00 00 00 01 01 00"));
    EXPECT_EQ(main.RowCount(IDC_DEVICE_LIST), 2);
}

TEST_F(Discovery, SecondSearchClearsTheList)
{
    ops.SearchDevices();
    Receive(SearchReply("01 00 A8 C0 00 00 00 00 00 01 01 00"));
    ops.SearchDevices();
    EXPECT_EQ(main.RowCount(IDC_DEVICE_LIST), 0);
    EXPECT_EQ(Info(), Gbk("搜索...\r\n"));
}

TEST_F(Discovery, ShortSearchReplyIsNotListed)
{
    ops.SearchDevices();
    auto reply = SearchReply("01 00 A8 C0 00 00 00 00 00 01 01 00");
    reply.resize(19);
    Receive(reply);
    EXPECT_EQ(main.RowCount(IDC_DEVICE_LIST), 0);
}

TEST_F(Discovery, EveryDatagramRefreshesButAnEmptyDeviceReply)
{
    const int before = main.SetTextCount(IDC_INFO);
    Receive(Hex("55 00 00 0A"));
    EXPECT_EQ(main.SetTextCount(IDC_INFO), before);
    Receive(Hex("55 00 00 07"));
    EXPECT_EQ(main.SetTextCount(IDC_INFO), before + 1);
    Receive(Hex("AA 00 01 02 02"));
    EXPECT_EQ(main.SetTextCount(IDC_INFO), before + 2);
}

} // namespace
} // namespace vornik::test

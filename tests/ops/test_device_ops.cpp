#include "crc_reference.h"
#include "ops_fixture.h"
#include "vectors.h"

namespace vornik::test {
namespace {

class DeviceOpsTest : public OpsTest {
protected:
    // The device the replies below come from, chosen as a double-click would.
    static constexpr MacAddress kReplying{0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    DeviceOpsTest() { state.TargetMac = kReplying; }

    // An outer reply around a DeviceFrame given as hex; the length field is the inner frame's.
    static std::vector<uint8_t> Reply(const char* command, const std::string& innerHex, const char* lengthField)
    {
        return Hex(std::string("55 ") + lengthField + " " + command + " 01 02 03 04 05 06 " + innerHex + " 00");
    }
    static std::string StartupReadFrame()
    {
        return std::string("7E 10 ") + kStartupBlock + " " + kStartupReadCrc;
    }
    // Overwrites every device control so that a fill can be seen.
    void ScribbleOverDevicePage()
    {
        for (int id : {IDC_DEV_TERMINAL_ADDRESS, IDC_DEV_LOGIN_INTERVAL, IDC_DEV_HEARTBEAT_INTERVAL,
                       IDC_DEV_UPLOAD_INTERVAL, IDC_DEV_BAUD_RATE, IDC_DEV_MODBUS_TERMINAL_COUNT})
            dev.SetText(id, "x");
        for (int id : CHANNEL_ADDRESS_IDS) dev.SetText(id, "x");
        for (const auto& l : LimitEditIds)
            for (int id : {l.tempUpper, l.tempLower, l.humidityUpper, l.humidityLower}) dev.SetText(id, "x");
        for (int id : {IDC_DEV_SERVER_COUNT, IDC_DEV_WORK_MODE, IDC_DEV_DATA_BITS, IDC_DEV_PARITY, IDC_DEV_STOP_BITS})
            dev.SetSel(id, 1);
    }
    void ExpectStartupValuesShown()
    {
        EXPECT_EQ(dev.GetSel(IDC_DEV_SERVER_COUNT), 8);
        EXPECT_EQ(dev.GetText(IDC_DEV_TERMINAL_ADDRESS), "12345678");
        EXPECT_EQ(dev.GetText(IDC_DEV_LOGIN_INTERVAL), "3");
        EXPECT_EQ(dev.GetText(IDC_DEV_HEARTBEAT_INTERVAL), "60");
        EXPECT_EQ(dev.GetText(IDC_DEV_UPLOAD_INTERVAL), "5");
        EXPECT_EQ(dev.GetSel(IDC_DEV_WORK_MODE), 0);
        EXPECT_EQ(dev.GetText(IDC_DEV_BAUD_RATE), "4800");
        EXPECT_EQ(dev.GetSel(IDC_DEV_DATA_BITS), 3); // "8"
        EXPECT_EQ(dev.GetSel(IDC_DEV_PARITY), 0);
        EXPECT_EQ(dev.GetSel(IDC_DEV_STOP_BITS), 0); // "1"
        EXPECT_EQ(dev.GetText(IDC_DEV_MODBUS_TERMINAL_COUNT), "1");
        for (size_t c = 0; c < 8; ++c) EXPECT_EQ(dev.GetText(CHANNEL_ADDRESS_IDS[c]), std::to_string(c + 1));
        for (const auto& l : LimitEditIds) {
            EXPECT_EQ(dev.GetText(l.tempUpper), "99.9");
            EXPECT_EQ(dev.GetText(l.tempLower), "0.0");
            EXPECT_EQ(dev.GetText(l.humidityUpper), "99.9");
            EXPECT_EQ(dev.GetText(l.humidityLower), "0.0");
        }
    }
    // A valid read reply whose block differs from the start-up one at the given block bytes.
    static std::vector<uint8_t> ReadReplyWith(std::initializer_list<std::pair<size_t, uint8_t>> changes)
    {
        auto inner = Hex(std::string("7E 10 ") + kStartupBlock);
        for (const auto& [offset, value] : changes) inner[offset] = value;
        return Reply("0A", ToHex(WithBitwiseCrc(std::move(inner))), "00 60");
    }
    void Write()
    {
        ops.OnWriteDeviceParams();
    }
};

TEST_F(DeviceOpsTest, ReadRequests)
{
    state.TargetMac = {}; // as at start-up, before any double-click: nothing goes to 00-00-00-00-00-00
    ops.OnReadDeviceParams();
    EXPECT_TRUE(link.frames.empty());
    EXPECT_EQ(dev.Boxes().size(), 1u);
    state.TargetMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    ops.OnReadDeviceParams();
    EXPECT_EQ(LastFrame(), "AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98");
    EXPECT_EQ(Info(), Gbk("读取设备参数...\r\n"));
}

TEST_F(DeviceOpsTest, ReadReplyFillsThePageThroughEitherCommand)
{
    for (const char* command : {"0A", "0B"}) {
        ops.OnReadDeviceParams();
        ScribbleOverDevicePage();
        Receive(Reply(command, StartupReadFrame(), "00 60"));
        ExpectStartupValuesShown();
        EXPECT_TRUE(ops.DeviceParamsRead()) << command;
        EXPECT_EQ(Info(), Gbk("读取设备参数...\r\n读取设备参数成功！\r\n")) << command;
    }
}

TEST_F(DeviceOpsTest, WriteAcknowledgement)
{
    Receive(Reply("0A", "7E 11 E0 1C", "00 04"));
    EXPECT_EQ(Info().substr(Info().size() - Gbk("下载设备参数成功！\r\n").size()), Gbk("下载设备参数成功！\r\n"));
    EXPECT_FALSE(ops.DeviceParamsRead());

    const std::string before = Info();
    Receive(Reply("0A", "7E 11 E0", "00 03")); // no 3-byte frame can pass the CRC test
    EXPECT_EQ(Info(), before);
}

TEST_F(DeviceOpsTest, RefusedRepliesChangeNothing)
{
    ScribbleOverDevicePage();
    auto badCrc = Reply("0A", StartupReadFrame(), "00 60");
    badCrc[10 + 94] ^= 0x01;
    auto cut = Reply("0A", StartupReadFrame(), "00 60");
    cut.resize(60); // length field runs past the datagram
    for (const auto& reply : {badCrc, cut}) {
        Receive(reply);
        EXPECT_FALSE(ops.DeviceParamsRead());
        EXPECT_EQ(dev.GetText(IDC_DEV_TERMINAL_ADDRESS), "x");
    }
}

TEST_F(DeviceOpsTest, ReplyValuesShownAsThePageShowsThem)
{
    // Block bytes (frame offsets): terminal 3-6, data bits 18, parity 19, stop bits 20,
    // channel 1 lower temperature 32-33, channel 8 upper humidity 90-91, baud 14-17.
    Receive(ReadReplyWith({{3, 0xCD}, {4, 0xAB}, {5, 0x00}, {6, 0x00}, {18, 8}, {19, 2}, {20, 2}, {32, 0xFB}, {33, 0xFF},
                           {90, 0x00}, {91, 0x00}, {14, 0xFF}, {15, 0xFF}, {16, 0xFF}, {17, 0xFF}}));
    EXPECT_EQ(dev.GetText(IDC_DEV_TERMINAL_ADDRESS), "0000abcd");
    EXPECT_EQ(dev.GetSel(IDC_DEV_DATA_BITS), 3);
    EXPECT_EQ(dev.GetSel(IDC_DEV_PARITY), 2);
    EXPECT_EQ(dev.GetSel(IDC_DEV_STOP_BITS), 1);
    EXPECT_EQ(dev.GetText(1077), "-0.5");
    EXPECT_EQ(dev.GetText(1093), "0.0"); // channel 8 upper humidity; there is no 1092
    EXPECT_EQ(dev.GetText(1092), "");
    EXPECT_EQ(dev.GetText(IDC_DEV_BAUD_RATE), "-1");
}

TEST_F(DeviceOpsTest, OutOfRangeListValuesLeaveNoSelectionAndGoBackAsTheyCame)
{
    Receive(ReadReplyWith({{2, 9}, {13, 6}, {18, 4}, {19, 3}, {20, 0}}));
    for (int id : {IDC_DEV_SERVER_COUNT, IDC_DEV_WORK_MODE, IDC_DEV_DATA_BITS, IDC_DEV_PARITY, IDC_DEV_STOP_BITS})
        EXPECT_EQ(dev.GetSel(id), -1) << id;
    Write();
    ASSERT_FALSE(link.frames.empty()) << "the write sent nothing";
    const auto f = SentWrite();
    EXPECT_EQ(f[10 + 2], 0xFF);  // server count: no selection
    EXPECT_EQ(f[10 + 13], 0xFF); // work mode
    EXPECT_EQ(f[10 + 18], 4);    // data bits: -1 + 5
    EXPECT_EQ(f[10 + 19], 0xFF); // parity
    EXPECT_EQ(f[10 + 20], 0);    // stop bits: -1 + 1
}

TEST_F(DeviceOpsTest, ValidReplyFillsTheHiddenPage)
{
    ScribbleOverDevicePage();
    Receive(Reply("0A", StartupReadFrame(), "00 60"));
    ExpectStartupValuesShown();
}

// A late reply of a device chosen before (or never asked) must not fill the
// pages, unlock the write, or be taken for an acknowledgement.
TEST_F(DeviceOpsTest, AReplyOfAnotherDeviceIsIgnoredWithALineNamingIt)
{
    const std::string otherRead = "55 00 60 0A 02 00 00 00 00 09 7E 10 " + std::string(kStartupBlock) + " " + kStartupReadCrc + " 00";
    const std::string otherAck = "55 00 04 0B 02 00 00 00 00 09 7E 11 E0 1C 00";
    for (const std::string& reply : {otherRead, otherAck}) {
        ScribbleOverDevicePage();
        const std::string before = Info();
        Receive(Hex(reply));
        EXPECT_EQ(dev.GetText(IDC_DEV_BAUD_RATE), "x") << reply;
        EXPECT_FALSE(ops.DeviceParamsRead()) << reply;
        EXPECT_EQ(Info(), before + Gbk("已忽略设备 02-00-00-00-00-09 的回复：不是双击选中的设备\r\n")) << reply;
    }
}

TEST_F(DeviceOpsTest, WriteRefusedBeforeAnyRead)
{
    const std::string info = Info();
    Write();
    EXPECT_TRUE(link.frames.empty());
    EXPECT_EQ(Info(), info);
    ASSERT_EQ(dev.Boxes().size(), 1u);
    EXPECT_EQ(dev.Boxes()[0].text, Gbk("请先执行\"读取设备参数\"操作;然后进行数据修改后再配置"));
    EXPECT_EQ(dev.Boxes()[0].caption, Gbk("提示"));
    EXPECT_EQ(dev.Boxes()[0].icon, MessageIcon::Exclamation);
}

TEST_F(DeviceOpsTest, WriteOfStartupValues)
{
    DeviceOpsProbe::OpenDeviceWrite(ops);
    state.TargetMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    Write();
    EXPECT_EQ(ToHex(SentWrite()), ToHex(Hex(std::string("AA 00 67 0A 02 00 00 00 00 01 7E 11 ") + kStartupBlock + " " +
                                     kStartupWriteCrc + " 37")));
    EXPECT_EQ(Info(), Gbk("设置参数... \r\n"));
}

TEST_F(DeviceOpsTest, TerminalAddressMustBeEightBytes)
{
    DeviceOpsProbe::OpenDeviceWrite(ops);
    const std::string info = Info();
    for (const std::string& text : {std::string("1234567"), std::string("123456789"), std::string(""),
                                    Gbk("1234567中")}) {
        dev.SetText(IDC_DEV_TERMINAL_ADDRESS, text);
        Write();
        EXPECT_TRUE(link.frames.empty()) << text;
        EXPECT_EQ(Info(), info);
        ASSERT_FALSE(dev.Boxes().empty());
        EXPECT_EQ(dev.Boxes().back().text, Gbk("终端地址要为8位长度"));
        EXPECT_EQ(dev.Boxes().back().caption, Gbk("终端地址错误"));
        EXPECT_EQ(dev.Boxes().back().icon, MessageIcon::Exclamation);
    }
}

TEST_F(DeviceOpsTest, HumidityLimitsFromThreeThousandUpGoBackUnchanged)
{
    // Channel 1: upper 40000 tenths (40 9C), lower 65535 (FF FF); channel 8 upper 32768 (00 80).
    Receive(ReadReplyWith({{34, 0x40}, {35, 0x9C}, {36, 0xFF}, {37, 0xFF}, {90, 0x00}, {91, 0x80}}));
    ASSERT_TRUE(ops.DeviceParamsRead());
    EXPECT_EQ(dev.GetText(LimitEditIds[0].humidityUpper), "4000.0");
    EXPECT_EQ(dev.GetText(LimitEditIds[0].humidityLower), "6553.5");
    EXPECT_EQ(dev.GetText(LimitEditIds[7].humidityUpper), "3276.8");
    Write();
    const auto write = SentWrite();
    const auto inner = std::span(write).subspan(10);
    EXPECT_EQ(ToHex(inner.subspan(34, 4)), "40 9C FF FF");
    EXPECT_EQ(ToHex(inner.subspan(90, 2)), "00 80");
}

TEST_F(DeviceOpsTest, ReadThenEditThenWriteCarriesTheEdits)
{
    Receive(Reply("0A", StartupReadFrame(), "00 60"));
    dev.SetText(IDC_DEV_HEARTBEAT_INTERVAL, "120");
    dev.SetSel(IDC_DEV_PARITY, 2);
    Write();
    ASSERT_FALSE(link.frames.empty()) << "the write sent nothing";
    const auto write = SentWrite();
    const auto inner = std::span(write).subspan(10);
    EXPECT_EQ(ToHex(inner.subspan(9, 2)), "78 00");
    EXPECT_EQ(inner[19], 2);
    EXPECT_TRUE(ops.DeviceParamsRead()); // the write leaves the flag alone
}

TEST_F(DeviceOpsTest, UnsignedFieldsShowTheirHighValuesUnsigned)
{
    // Values with the top bit set, which a signed reading would show negative.
    Receive(ReadReplyWith({{7, 0x00}, {8, 0x80},    // login interval 32768
                           {9, 0xFF}, {10, 0xFF},   // heartbeat interval 65535
                           {11, 0x01}, {12, 0x80},  // upload interval 32769
                           {22, 0xFF}, {29, 0x80},  // channel addresses 1 and 8
                           {34, 0xFF}, {35, 0xFF},  // upper humidity, channel 1
                           {92, 0x00}, {93, 0x80}})); // lower humidity, channel 8
    ASSERT_TRUE(ops.DeviceParamsRead());
    const struct {
        int id;
        const char* shown;
    } cases[] = {
        {IDC_DEV_LOGIN_INTERVAL, "32768"}, {IDC_DEV_HEARTBEAT_INTERVAL, "65535"},
        {IDC_DEV_UPLOAD_INTERVAL, "32769"}, {CHANNEL_ADDRESS_IDS[0], "255"},
        {CHANNEL_ADDRESS_IDS[7], "128"},    {LimitEditIds[0].humidityUpper, "6553.5"},
        {LimitEditIds[7].humidityLower, "3276.8"},
    };
    for (const auto& c : cases) EXPECT_EQ(dev.GetText(c.id), c.shown) << c.id;
}

} // namespace
} // namespace vornik::test

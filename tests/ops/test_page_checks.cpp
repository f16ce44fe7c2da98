// A write takes nothing the field table refuses: a value out of range, or no
// number at all, stops it with a box naming the field by its on-screen label,
// and nothing is sent. The ends of every range go out exactly.
#include "ops/page_checks.h"
#include "ops_fixture.h"
#include "vectors.h"

namespace vornik::test {
namespace {

class PageChecks : public OpsTest {
protected:
    PageChecks()
    {
        DeviceOpsProbe::OpenDeviceWrite(ops);
        state.TargetMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    }
};

struct Typed {
    bool network; // else the device page
    int control;
    std::string text;
};

TEST_F(PageChecks, AValueTheFieldRefusesStopsTheWriteAndNamesTheField)
{
    const struct {
        Typed typed;
        const char* label; // as the box names the field
    } rows[] = {
        {{true, SERVER_CONTROL_IDS[0].targetPort, "70000"}, "服务器1 目标端口"},
        {{true, SERVER_CONTROL_IDS[0].targetPort, "65536"}, "服务器1 目标端口"},
        {{true, SERVER_CONTROL_IDS[2].localPort, "-1"}, "服务器3 本地端口"},
        {{true, SERVER_CONTROL_IDS[1].localPort, "x12"}, "服务器2 本地端口"},
        {{true, SERVER_CONTROL_IDS[7].targetPort, ""}, "服务器8 目标端口"},
        {{true, SERVER_CONTROL_IDS[3].targetAddress, std::string(30, 'a')}, "服务器4 目标地址"},
        {{true, IDC_NET_IP_ADDRESS, "1.2.3.300"}, "静态IP"},
        {{true, IDC_NET_GATEWAY, "10.0.0"}, "网关地址"},
        {{false, IDC_DEV_LOGIN_INTERVAL, "65536"}, "登陆帧间隔时间"},
        {{false, IDC_DEV_HEARTBEAT_INTERVAL, "-1"}, "心跳包间隔时间"},
        {{false, IDC_DEV_UPLOAD_INTERVAL, "abc"}, "主动上送帧间隔时间"},
        {{false, IDC_DEV_BAUD_RATE, "9600x"}, "485口波特率"},
        {{false, IDC_DEV_BAUD_RATE, "0"}, "485口波特率"},
        {{false, IDC_DEV_BAUD_RATE, "99999999999999999999"}, "485口波特率"}, // would wrap to 1
        {{false, IDC_DEV_MODBUS_TERMINAL_COUNT, "256"}, "Modbus终端数量"},
        {{false, CHANNEL_ADDRESS_IDS[7], "-2"}, "8号通道地址"},
        {{false, IDC_DEV_TERMINAL_ADDRESS, "1234567G"}, "终端地址"},
        {{false, IDC_DEV_TERMINAL_ADDRESS, Gbk("123456中")}, "终端地址"},
        {{false, LimitEditIds[0].tempUpper, "3276.8"}, "1号通道 温度上限"},
        {{false, LimitEditIds[0].tempLower, "-3276.9"}, "1号通道 温度下限"},
        {{false, LimitEditIds[7].tempUpper, "-0.05"}, "8号通道 温度上限"},
        {{false, LimitEditIds[0].humidityUpper, "6553.6"}, "1号通道 湿度上限"},
        {{false, LimitEditIds[0].humidityLower, "-5"}, "1号通道 湿度下限"},
        {{false, LimitEditIds[7].humidityUpper, "12.36"}, "8号通道 湿度上限"},
        {{false, LimitEditIds[7].humidityLower, "abc"}, "8号通道 湿度下限"},
        {{false, LimitEditIds[0].tempUpper, "300000000"}, "1号通道 温度上限"}, // would keep its low 16 bits
        {{false, LimitEditIds[0].humidityUpper, "300000000"}, "1号通道 湿度上限"},
    };
    for (const auto& row : rows) {
        ops.SetStartupValues();
        DeviceOpsProbe::OpenDeviceWrite(ops); // the start-up page as the operator's values
        MemoryControls& page = row.typed.network ? net : dev;
        page.SetText(row.typed.control, row.typed.text);
        const std::string info = Info();
        const size_t boxes = page.Boxes().size();
        if (row.typed.network)
            ops.OnWriteNetworkParams();
        else
            ops.OnWriteDeviceParams();
        EXPECT_TRUE(link.frames.empty()) << row.label << " " << row.typed.text;
        EXPECT_EQ(Info(), info) << row.label;
        ASSERT_EQ(page.Boxes().size(), boxes + 1) << row.label << " " << row.typed.text;
        const std::string box = page.Boxes().back().text;
        EXPECT_EQ(box.rfind(Gbk(row.label) + Gbk("：“") + row.typed.text + Gbk("”"), 0), 0u) << box;
    }
}

// What a user types may hold characters code page 936 has no form for: the
// write refuses it, naming the field and the text as the device would have
// got it, instead of sending a '?' in their place.
TEST_F(PageChecks, TextCodePage936CannotHoldStopsTheWrite)
{
    const struct {
        const char* what;
        Typed typed;                // typed in UTF-8
        const char* box;            // the whole box, UTF-8; empty: written
    } rows[] = {
        {"a server name with ő", {true, SERVER_CONTROL_IDS[0].targetAddress, "服务ő.cn"},
         "服务器1 目标地址：“服务?.cn”含有GBK编码无法表示的字符（显示为“?”）。未发送任何数据。"},
        {"a port with an emoji", {true, SERVER_CONTROL_IDS[4].targetPort, "80\U0001F600"},
         "服务器5 目标端口：“80?”含有GBK编码无法表示的字符（显示为“?”）。未发送任何数据。"},
        {"a terminal address with ő", {false, IDC_DEV_TERMINAL_ADDRESS, "1234567ő"},
         "终端地址：“1234567?”含有GBK编码无法表示的字符（显示为“?”）。未发送任何数据。"},
        {"a Chinese server name 936 holds", {true, SERVER_CONTROL_IDS[0].targetAddress, "服务器.cn"}, ""},
    };
    for (const auto& row : rows) {
        ops.SetStartupValues();
        DeviceOpsProbe::OpenDeviceWrite(ops);
        link.frames.clear();
        MemoryControls& page = row.typed.network ? net : dev;
        page.Type(row.typed.control, row.typed.text);
        const size_t boxes = page.Boxes().size();
        if (row.typed.network)
            ops.OnWriteNetworkParams();
        else
            ops.OnWriteDeviceParams();
        if (*row.box == 0) {
            EXPECT_EQ(page.Boxes().size(), boxes) << row.what;
            EXPECT_FALSE(link.frames.empty()) << row.what;
            continue;
        }
        EXPECT_TRUE(link.frames.empty()) << row.what;
        ASSERT_EQ(page.Boxes().size(), boxes + 1) << row.what;
        EXPECT_EQ(page.Boxes().back().text, Gbk(row.box)) << row.what;
    }
}

// The ends of each range and the worked values, with their bytes worked out
// by hand: little-endian, temperatures in two's complement tenths.
TEST_F(PageChecks, TheEndsOfEveryRangeAreWrittenExactly)
{
    const struct {
        Typed typed;
        size_t offset; // in the frame
        const char* wire;
    } rows[] = {
        {{true, SERVER_CONTROL_IDS[0].localPort, "0"}, 30, "00 00"},
        {{true, SERVER_CONTROL_IDS[0].localPort, "65535"}, 30, "FF FF"},
        {{true, SERVER_CONTROL_IDS[0].targetPort, "4001"}, 32, "A1 0F"},
        // Within the start-up subnet: vornikctl's address check refuses one outside it.
        {{true, IDC_NET_IP_ADDRESS, "192.168.0.254"}, 11, "FE 00 A8 C0"},
        {{false, IDC_DEV_LOGIN_INTERVAL, "65535"}, 17, "FF FF"},
        {{false, IDC_DEV_BAUD_RATE, "2147483647"}, 24, "FF FF FF 7F"},
        {{false, IDC_DEV_BAUD_RATE, "115200"}, 24, "00 C2 01 00"},
        {{false, IDC_DEV_MODBUS_TERMINAL_COUNT, "255"}, 31, "FF"},
        {{false, CHANNEL_ADDRESS_IDS[7], "0"}, 39, "00"},
        {{false, IDC_DEV_TERMINAL_ADDRESS, "abcdef01"}, 13, "01 EF CD AB"},
        {{false, IDC_DEV_TERMINAL_ADDRESS, "ABCDEF01"}, 13, "01 EF CD AB"},
        {{false, LimitEditIds[0].tempUpper, "3276.7"}, 40, "FF 7F"},
        {{false, LimitEditIds[0].tempLower, "-3276.8"}, 42, "00 80"},
        {{false, LimitEditIds[0].tempLower, "-0.5"}, 42, "FB FF"},
        {{false, LimitEditIds[0].tempLower, "-5"}, 42, "CE FF"},
        {{false, LimitEditIds[0].humidityUpper, "6553.5"}, 44, "FF FF"},
        {{false, LimitEditIds[0].humidityLower, "0.0"}, 46, "00 00"},
    };
    for (const auto& row : rows) {
        ops.SetStartupValues();
        DeviceOpsProbe::OpenDeviceWrite(ops); // the start-up page as the operator's values
        (row.typed.network ? net : dev).SetText(row.typed.control, row.typed.text);
        link.frames.clear();
        if (row.typed.network)
            ops.OnWriteNetworkParams();
        else
            ops.OnWriteDeviceParams();
        // The write and the read of its block.
        ASSERT_EQ(link.frames.size(), 2u) << row.typed.text;
        const auto f = SentWrite();
        const size_t n = (std::string(row.wire).size() + 1) / 3;
        EXPECT_EQ(ToHex(std::span(f).subspan(row.offset, n)), row.wire) << row.typed.text;
    }
}

const PageField& FieldOf(const std::vector<PageField>& fields, int control)
{
    for (const PageField& f : fields)
        if (f.control == control) return f;
    throw std::logic_error("no page field for control " + std::to_string(control));
}

// The sentence a box and an import refusal start with: the words in code
// page 936, the page's text put in as the page holds it.
TEST(PageRefusal, TheSentenceNamesTheFieldAndKeepsThePagesTextAsItIs)
{
    const struct {
        const char* name;
        bool network;
        int control;
        std::string text;
        std::string sentence;
    } rows[] = {
        {"a port", true, SERVER_CONTROL_IDS[2].targetPort, "70000",
         Gbk("服务器3 目标端口：“70000”无效，应为0到65535的整数")},
        {"a Chinese character in the terminal address", false, IDC_DEV_TERMINAL_ADDRESS, Gbk("123456中"),
         Gbk("终端地址：“123456中”无效，应为8位十六进制数字")},
        {"a byte that is no code page 936 text", false, CHANNEL_ADDRESS_IDS[1], "1\x81",
         Gbk("2号通道地址：“") + "1\x81" + Gbk("”无效，应为0到255的整数")},
        {"a limit", false, LimitEditIds[7].humidityLower, "-5",
         Gbk("8号通道 湿度下限：“-5”无效，应为0.0到6553.5，最多一位小数")},
    };
    for (const auto& row : rows) {
        const PageField& field = FieldOf(row.network ? NetworkPageFields() : DevicePageFields(), row.control);
        EXPECT_EQ(Refusal936(field, row.text), row.sentence) << row.name;
        EXPECT_EQ(RefusalOf(field, row.text), row.sentence + Gbk("。未发送任何数据。")) << row.name;
    }
}

// A file's refusals name the field by its label; a key that names none is
// said as the file has it, with no range to offer.
TEST(PageRefusal, ASettingsFileValueIsRefusedInTheWindowsWords)
{
    using settings::Problem;
    const struct {
        const char *name, *key, *text;
        Problem problem;
        const char* said;
    } rows[] = {
        {"a limit", "device.channel2.humidity-upper", "-1", Problem::Value,
         "字段 2号通道 湿度上限：“-1”无效，应为0.0到6553.5，最多一位小数"},
        {"a word", "device.parity", "mark", Problem::Value, "字段 485口校验位：“mark”无效，应为none、odd 或 even"},
        {"a key of no field", "network.speed", "1", Problem::Value, "字段 network.speed：“1”无效"},
        {"bytes no field shows", "network.server2.target-address-bytes", "", Problem::GivenTwice,
         "字段 服务器2 目标地址（字节）在文件中出现了两次"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SettingsErrorText936(settings::InputError{row.key, "", row.problem, row.text}, ""), Gbk(row.said))
            << row.name;
}

} // namespace
} // namespace vornik::test

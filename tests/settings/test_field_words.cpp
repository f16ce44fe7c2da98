// What each field is called and said to take, in vornikctl's English and in
// the window's Chinese, and both programs' sentences for a refused value: the
// texts as operators read them today, and a check that takes what they say.
#include <gtest/gtest.h>

#include "settings/settings.h"

using namespace vornik::settings;

namespace {

TEST(FieldWords, EachFieldIsLabelledAndSaysWhatItsCheckTakes)
{
    const struct {
        const char* name;
        Block block;
        const char *field, *accepts, *acceptsZh, *label;
        const char *end;     // the highest value (the longest text) the check takes
        const char *refused; // one past it, or no such value
        const char* refusal; // the window's
        const char* message; // vornikctl's
    } rows[] = {
        {"a port", Block::Network, "server3.target-port", "0-65535", "0到65535的整数", "服务器3 目标端口", "65535",
         "65536", "服务器3 目标端口：“65536”无效，应为0到65535的整数",
         "server3.target-port: '65536' must be a whole number from 0 to 65535"},
        {"an address", Block::Network, "gateway", "four numbers 0-255, e.g. 192.168.0.9",
         "四个0到255的数，用点分隔，如192.168.0.9", "网关地址", "255.255.255.255", "255.255.255.256",
         "网关地址：“255.255.255.256”无效，应为四个0到255的数，用点分隔，如192.168.0.9",
         "gateway: '255.255.255.256' must be four numbers 0-255 joined by dots, e.g. 192.168.0.9"},
        {"the target address", Block::Network, "server8.target-address", "text of at most 29 bytes in code page 936",
         "最多29字节的文字", "服务器8 目标地址", "服务器服务器服务器服务器服务.", "服务器服务器服务器服务器服务器",
         "服务器8 目标地址：“服务器服务器服务器服务器服务器”无效，应为最多29字节的文字",
         "server8.target-address: '服务器服务器服务器服务器服务器' must be at most 29 bytes in code page 936 (it has 30)"},
        {"a seconds interval", Block::Device, "heartbeat-interval", "0-65535 seconds", "0到65535的整数（秒）",
         "心跳包间隔时间", "65535", "65536", "心跳包间隔时间：“65536”无效，应为0到65535的整数（秒）",
         "heartbeat-interval: '65536' must be a whole number from 0 to 65535"},
        {"the baud", Block::Device, "baud", "1-2147483647", "1到2147483647的整数", "485口波特率", "2147483647", "0",
         "485口波特率：“0”无效，应为1到2147483647的整数",
         "baud: '0' must be a whole number from 1 to 2147483647"},
        {"a temperature limit", Block::Device, "channel1.temp-upper", "-3276.8 to 3276.7",
         "-3276.8到3276.7，最多一位小数", "1号通道 温度上限", "3276.7", "3276.8",
         "1号通道 温度上限：“3276.8”无效，应为-3276.8到3276.7，最多一位小数",
         "channel1.temp-upper: '3276.8' must be a number from -3276.8 to 3276.7 with at most one decimal"},
        {"a humidity limit", Block::Device, "channel8.humidity-lower", "0.0 to 6553.5", "0.0到6553.5，最多一位小数",
         "8号通道 湿度下限", "6553.5", "-0.1", "8号通道 湿度下限：“-0.1”无效，应为0.0到6553.5，最多一位小数",
         "channel8.humidity-lower: '-0.1' must be a number from 0.0 to 6553.5 with at most one decimal"},
        {"a drop-down of words and numbers", Block::Device, "work-mode",
         "probe, modbus, 0-5V, 0-10V, 0-10mA or 4-20mA (or 0-5)", "probe、modbus、0-5V、0-10V、0-10mA、4-20mA 或 0到5",
         "工作模式", "4-20mA", "6", "工作模式：“6”无效，应为probe、modbus、0-5V、0-10V、0-10mA、4-20mA 或 0到5",
         "work-mode: '6' must be probe, modbus, 0-5V, 0-10V, 0-10mA or 4-20mA (or 0-5)"},
        {"a drop-down of words", Block::Network, "mode", "static or dhcp", "static 或 dhcp", "IP获取方式", "DHCP",
         "auto", "IP获取方式：“auto”无效，应为static 或 dhcp",
         "mode: 'auto' must be static or dhcp"},
        {"a drop-down of two numbers", Block::Device, "stop-bits", "1-2", "1或2", "485口停止位", "2", "3",
         "485口停止位：“3”无效，应为1或2",
         "stop-bits: '3' must be a whole number from 1 to 2"},
        {"the terminal address", Block::Device, "terminal-address", "8 hex digits", "8位十六进制数字", "终端地址",
         "ffffFFFF", "1234567", "终端地址：“1234567”无效，应为8位十六进制数字",
         "terminal-address: '1234567' must be 8 hex digits, e.g. 12345678"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const FieldInfo* f = FindField(row.block, row.field);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->accepts, row.accepts);
        EXPECT_EQ(f->acceptsZh, row.acceptsZh);
        EXPECT_EQ(f->labelZh, row.label);
        EXPECT_EQ(LabelZh(row.block, row.field), row.label);
        EXPECT_EQ(RefusalZh(*f, row.refused), row.refusal);
        EXPECT_TRUE(std::holds_alternative<FieldValue>(ParseField(row.block, row.field, row.end)));
        const auto refused = ParseField(row.block, row.field, row.refused);
        ASSERT_TRUE(std::holds_alternative<InputError>(refused));
        EXPECT_EQ(std::get<InputError>(refused).message, row.message);
    }
}

// Compare names bytes that no field shows; the window words them too.
TEST(FieldWords, BytesNoFieldShowsAreLabelledAndOtherNamesAreNot)
{
    const struct {
        const char* name;
        Block block;
        const char* field;
        std::optional<std::string> label;
    } rows[] = {
        {"reserved bytes", Block::Network, "reserved-bytes", "未显示的保留字节"},
        {"the mode byte", Block::Network, "mode-byte", "IP获取方式字节"},
        {"a target address's bytes", Block::Network, "server3.target-address-bytes", "服务器3 目标地址（字节）"},
        {"no port has bytes of its own", Block::Network, "server3.local-port-bytes", std::nullopt},
        {"the device block has no reserved bytes", Block::Device, "reserved-bytes", std::nullopt},
        {"a server the block does not have", Block::Network, "server9.target-address-bytes", std::nullopt},
        {"a network field asked of the device block", Block::Device, "ip", std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(LabelZh(row.block, row.field), row.label) << row.name;
}

} // namespace

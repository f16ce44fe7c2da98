#include "ops/page_checks.h"

#include "ops/control_ids.h"
#include "proto/cp936.h"

namespace vornik {

namespace {

using settings::Block;

std::string Cp936(const std::string& utf8) { return Cp936FromUtf8Lossy(utf8); }

const char* const kAddress = "四个0到255的数，用点分隔，如192.168.0.9";
const char* const kPort = "0到65535的整数";
const char* const kByte = "0到255的整数";

} // namespace

const std::vector<PageField>& NetworkPageFields()
{
    static const std::vector<PageField> fields = [] {
        std::vector<PageField> f{
            {IDC_NET_IP_ADDRESS, Block::Network, "ip", Cp936("静态IP"), Cp936(kAddress)},
            {IDC_NET_SUBNET_MASK, Block::Network, "mask", Cp936("子网掩码"), Cp936(kAddress)},
            {IDC_NET_GATEWAY, Block::Network, "gateway", Cp936("网关地址"), Cp936(kAddress)},
        };
        for (size_t k = 0; k < SERVER_CONTROL_IDS.size(); ++k) {
            const std::string n = std::to_string(k + 1);
            const std::string server = "server" + n + ".";
            const std::string label = "服务器" + n + " ";
            const ServerControls& ids = SERVER_CONTROL_IDS[k];
            f.push_back({ids.targetPort, Block::Network, server + "target-port", Cp936(label + "目标端口"), Cp936(kPort)});
            f.push_back({ids.targetAddress, Block::Network, server + "target-address", Cp936(label + "目标地址"),
                         Cp936("最多29字节的文字")});
            f.push_back({ids.localPort, Block::Network, server + "local-port", Cp936(label + "本地端口"), Cp936(kPort)});
        }
        return f;
    }();
    return fields;
}

const std::vector<PageField>& DevicePageFields()
{
    static const std::vector<PageField> fields = [] {
        const std::string seconds = Cp936("0到65535的整数（秒）");
        std::vector<PageField> f{
            {IDC_DEV_TERMINAL_ADDRESS, Block::Device, "terminal-address", Cp936("终端地址"), Cp936("8位十六进制数字")},
            {IDC_DEV_LOGIN_INTERVAL, Block::Device, "login-interval", Cp936("登陆帧间隔时间"), seconds},
            {IDC_DEV_HEARTBEAT_INTERVAL, Block::Device, "heartbeat-interval", Cp936("心跳包间隔时间"), seconds},
            {IDC_DEV_UPLOAD_INTERVAL, Block::Device, "upload-interval", Cp936("主动上送帧间隔时间"), seconds},
            {IDC_DEV_BAUD_RATE, Block::Device, "baud", Cp936("485口波特率"), Cp936("1到2147483647的整数")},
            {IDC_DEV_MODBUS_TERMINAL_COUNT, Block::Device, "modbus-terminal-count", Cp936("Modbus终端数量"),
             Cp936(kByte)},
        };
        for (size_t c = 0; c < CHANNEL_ADDRESS_IDS.size(); ++c) {
            const std::string n = std::to_string(c + 1);
            const std::string channel = "channel" + n + ".";
            const std::string label = n + "号通道";
            const LimitControls& ids = LimitEditIds[c];
            const std::string temp = Cp936("-3276.8到3276.7，最多一位小数");
            const std::string humidity = Cp936("0.0到6553.5，最多一位小数");
            f.push_back({CHANNEL_ADDRESS_IDS[c], Block::Device, channel + "address", Cp936(label + "地址"), Cp936(kByte)});
            f.push_back({ids.tempUpper, Block::Device, channel + "temp-upper", Cp936(label + " 温度上限"), temp});
            f.push_back({ids.tempLower, Block::Device, channel + "temp-lower", Cp936(label + " 温度下限"), temp});
            f.push_back({ids.humidityUpper, Block::Device, channel + "humidity-upper", Cp936(label + " 湿度上限"), humidity});
            f.push_back({ids.humidityLower, Block::Device, channel + "humidity-lower", Cp936(label + " 湿度下限"), humidity});
        }
        return f;
    }();
    return fields;
}

namespace {

// A field's label and what it takes, both code page 936; nothing for a name
// the table does not hold.
std::optional<std::pair<std::string, std::string>> Words936(Block block, const std::string& field)
{
    for (const auto* fields : {&NetworkPageFields(), &DevicePageFields()})
        for (const PageField& f : *fields)
            if (f.block == block && f.field == field) return std::pair{f.label936, f.range936};
    // The drop-downs, as the file spells their values, and what Compare adds
    // for bytes no field shows.
    static const struct {
        Block block;
        const char* field;
        const char* label;
        const char* range;
    } others[] = {
        {Block::Network, "mode", "IP获取方式", "static 或 dhcp"},
        {Block::Network, "max-connections", "最大连接数量", "0到8的整数"},
        {Block::Network, "reserved-bytes", "未显示的保留字节", ""},
        {Block::Network, "mode-byte", "IP获取方式字节", ""},
        {Block::Device, "server-count", "服务器数量", "0到8的整数"},
        {Block::Device, "work-mode", "工作模式", "probe、modbus、0-5V、0-10V、0-10mA、4-20mA 或 0到5"},
        {Block::Device, "data-bits", "485口数据位", "5到9的整数"},
        {Block::Device, "parity", "485口校验位", "none、odd 或 even"},
        {Block::Device, "stop-bits", "485口停止位", "1或2"},
    };
    for (const auto& o : others)
        if (o.block == block && field == o.field) return std::pair{Cp936(o.label), Cp936(o.range)};
    // serverN.target-address-bytes: the target address's bytes after its text.
    const std::string bytes = ".target-address-bytes";
    if (block == Block::Network && field.size() > bytes.size() &&
        field.compare(field.size() - bytes.size(), bytes.size(), bytes) == 0) {
        const auto address = Words936(block, field.substr(0, field.size() - bytes.size()) + ".target-address");
        if (address) return std::pair{address->first + Cp936("（字节）"), std::string()};
    }
    return std::nullopt;
}

// "network.server3.target-port" as the label the page gives it; a key of no
// field as the file has it.
std::string FileKeyLabel936(const std::string& key)
{
    for (const auto& [prefix, block] : {std::pair{"network.", Block::Network}, std::pair{"device.", Block::Device}})
        if (key.rfind(prefix, 0) == 0)
            if (const auto words = Words936(block, key.substr(std::string(prefix).size()))) return words->first;
    return Cp936FromUtf8Lossy(key);
}

} // namespace

std::string FieldLabel936(settings::Block block, const std::string& field)
{
    const auto words = Words936(block, field);
    return words ? words->first : field;
}

std::string SettingsErrorText936(const settings::InputError& error, const std::string& path936)
{
    using settings::Problem;
    const std::string field = Cp936("字段 ") + FileKeyLabel936(error.field);
    switch (error.problem) {
    case Problem::Value: {
        std::string text = field + Cp936("：“") + Cp936FromUtf8Lossy(error.text) + Cp936("”无效");
        for (const auto& [prefix, block] : {std::pair{"network.", Block::Network}, std::pair{"device.", Block::Device}})
            if (error.field.rfind(prefix, 0) == 0)
                if (const auto words = Words936(block, error.field.substr(std::string(prefix).size()));
                    words && !words->second.empty())
                    text += Cp936("，应为") + words->second;
        return text;
    }
    case Problem::UnknownField: return Cp936("文件中有未知的字段 ") + Cp936FromUtf8Lossy(error.field);
    case Problem::NotJson: return Cp936("文件不是有效的JSON");
    case Problem::NumberTooLarge: return field + Cp936("：数值太大");
    case Problem::GivenTwice: return field + Cp936("在文件中出现了两次");
    case Problem::WrongType:
        return error.field.empty() ? Cp936("文件的内容不是参数文件应有的结构")
                                   : field + Cp936("：应为数字或文字（network 和 device 应为对象）");
    case Problem::Format: return Cp936("文件的 \"format\" 应为 \"vornik-settings\"");
    case Problem::Version: return Cp936("文件的 \"version\" 应为 1");
    case Problem::FileUnreadable: return Cp936("无法读取文件 ") + path936;
    case Problem::FileNotRegular: return path936 + Cp936(" 不是普通文件");
    case Problem::FileTooLarge: return path936 + Cp936(" 大于1 MiB，不是参数文件");
    case Problem::Other: break;
    }
    return Cp936("文件无法使用：") + field;
}

std::optional<std::string> RefusalOf(const PageField& field, const std::string& text936)
{
    const auto checked = settings::ParseField(field.block, field.field, Utf8FromCp936(text936));
    if (!std::holds_alternative<settings::InputError>(checked)) return std::nullopt;
    return field.label936 + Cp936("：“") + text936 + Cp936("”无效，应为") + field.range936 + Cp936("。未发送任何数据。");
}

} // namespace vornik

#include "settings/fields.h"

#include <functional>
#include <span>
#include <tuple>

#include "proto/cp936.h"
#include "proto/mac_address.h"
#include "proto/text_conv.h"

namespace vornik::settings {

namespace {

struct FieldDef {
    FieldInfo info;
    std::function<void(NetworkParams&, const FieldValue&)> setNet;
    std::function<void(DeviceParams&, const FieldValue&)> setDev;
    std::function<Json(const NetworkParams&)> getNet;
    std::function<Json(const DeviceParams&)> getDev;
};

const char* const kWorkModes[] = {"probe", "modbus", "0-5V", "0-10V", "0-10mA", "4-20mA"};
const char* const kParities[] = {"none", "odd", "even"};
const char* const kModes[] = {"static", "dhcp"};
constexpr int32_t kTempMin = INT16_MIN, kTempMax = INT16_MAX;
constexpr int32_t kHumidityMin = 0, kHumidityMax = UINT16_MAX;

int64_t Number(const FieldValue& v) { return std::get<int64_t>(v); }

FieldInfo Info(std::string name, Block block, std::string labelZh, const Bounds& bounds)
{
    return {std::move(name), block, bounds, std::move(labelZh), AcceptsText(bounds), AcceptsZh(bounds)};
}

Json TenthsJson(int32_t tenths) { return Json(double(tenths) / 10.0); }

Json ChoiceJson(unsigned value, std::span<const char* const> names)
{
    return value < names.size() ? Json(names[value]) : Json(value);
}

// Every field: its name, the window's label, what it takes, and where its
// value lives in the block. The only place a field is described.
std::vector<FieldDef> BuildTable()
{
    std::vector<FieldDef> t;
    const auto net = [&t](std::string name, std::string label, const Bounds& bounds,
                          std::function<void(NetworkParams&, int64_t)> set,
                          std::function<Json(const NetworkParams&)> get) {
        t.push_back({Info(std::move(name), Block::Network, std::move(label), bounds),
                     [set = std::move(set)](NetworkParams& p, const FieldValue& v) { set(p, Number(v)); },
                     nullptr,
                     std::move(get),
                     nullptr});
    };
    const auto dev = [&t](std::string name, std::string label, const Bounds& bounds,
                          std::function<void(DeviceParams&, int64_t)> set,
                          std::function<Json(const DeviceParams&)> get) {
        t.push_back({Info(std::move(name), Block::Device, std::move(label), bounds),
                     nullptr,
                     [set = std::move(set)](DeviceParams& p, const FieldValue& v) { set(p, Number(v)); },
                     nullptr,
                     std::move(get)});
    };
    using Kind = Bounds::Kind;

    net("mode", "IP获取方式", Bounds::Choice(kModes, false),
        [](NetworkParams& p, int64_t v) { p.ipMode = IpModeToFlag(int(v)); },
        [](const NetworkParams& p) { return Json(kModes[IpModeFromFlag(p.ipMode)]); });
    const std::tuple<const char*, const char*, uint32_t NetworkParams::*> addresses[] = {
        {"ip", "静态IP", &NetworkParams::ipAddress},
        {"mask", "子网掩码", &NetworkParams::subnetMask},
        {"gateway", "网关地址", &NetworkParams::gateway}};
    for (const auto& [name, label, field] : addresses) {
        const auto member = field; // a plain variable: lambdas capture it on every compiler
        net(name, label, Bounds::Of(Kind::Ipv4), [member](NetworkParams& p, int64_t v) { p.*member = uint32_t(v); },
            [member](const NetworkParams& p) { return Json(FormatDottedQuad(p.*member)); });
    }
    net("max-connections", "最大连接数量", Bounds::Whole(0, 8),
        [](NetworkParams& p, int64_t v) { p.maxConnections = uint8_t(v); },
        [](const NetworkParams& p) { return Json(p.maxConnections); });
    for (size_t k = 0; k < SERVER_COUNT; ++k) {
        const std::string server = "server" + std::to_string(k + 1) + ".";
        const std::string label = "服务器" + std::to_string(k + 1) + " ";
        net(server + "local-port", label + "本地端口", Bounds::Whole(0, 65535),
            [k](NetworkParams& p, int64_t v) { p.servers[k].localPort = uint16_t(v); },
            [k](const NetworkParams& p) { return Json(p.servers[k].localPort); });
        t.push_back({Info(server + "target-address", Block::Network, label + "目标地址", Bounds::Of(Kind::TargetAddress)),
                     [k](NetworkParams& p, const FieldValue& v) {
                         StoreTargetAddress(p.servers[k].targetAddress, std::get<std::string>(v));
                     },
                     nullptr,
                     [k](const NetworkParams& p) {
                         return Json(Utf8FromCp936(TargetAddressText(p.servers[k].targetAddress)));
                     },
                     nullptr});
        net(server + "target-port", label + "目标端口", Bounds::Whole(0, 65535),
            [k](NetworkParams& p, int64_t v) { p.servers[k].targetPort = uint16_t(v); },
            [k](const NetworkParams& p) { return Json(p.servers[k].targetPort); });
    }

    dev("server-count", "服务器数量", Bounds::Whole(0, 8), [](DeviceParams& p, int64_t v) { p.serverCount = uint8_t(v); },
        [](const DeviceParams& p) { return Json(p.serverCount); });
    dev("terminal-address", "终端地址", Bounds::Of(Kind::TerminalAddress),
        [](DeviceParams& p, int64_t v) { p.terminalAddress = uint32_t(v); },
        [](const DeviceParams& p) { return Json(FormatTerminalAddress(p.terminalAddress)); });
    const std::tuple<const char*, const char*, uint16_t DeviceParams::*> intervals[] = {
        {"login-interval", "登陆帧间隔时间", &DeviceParams::loginInterval},
        {"heartbeat-interval", "心跳包间隔时间", &DeviceParams::heartbeatInterval},
        {"upload-interval", "主动上送帧间隔时间", &DeviceParams::uploadInterval}};
    for (const auto& [name, label, field] : intervals) {
        const auto member = field; // a plain variable: lambdas capture it on every compiler
        dev(name, label, Bounds::Seconds(0, 65535), [member](DeviceParams& p, int64_t v) { p.*member = uint16_t(v); },
            [member](const DeviceParams& p) { return Json(p.*member); });
    }
    dev("work-mode", "工作模式", Bounds::Choice(kWorkModes, true),
        [](DeviceParams& p, int64_t v) { p.workMode = uint8_t(v); },
        [](const DeviceParams& p) { return ChoiceJson(p.workMode, kWorkModes); });
    // The page reads the rate as a signed 32-bit number.
    dev("baud", "485口波特率", Bounds::Whole(1, INT32_MAX),
        [](DeviceParams& p, int64_t v) { p.baudRate = uint32_t(v); },
        [](const DeviceParams& p) { return Json(p.baudRate); });
    dev("data-bits", "485口数据位", Bounds::Whole(5, 9), [](DeviceParams& p, int64_t v) { p.dataBits = uint8_t(v); },
        [](const DeviceParams& p) { return Json(p.dataBits); });
    dev("parity", "485口校验位", Bounds::Choice(kParities, false),
        [](DeviceParams& p, int64_t v) { p.parity = uint8_t(v); },
        [](const DeviceParams& p) { return ChoiceJson(p.parity, kParities); });
    dev("stop-bits", "485口停止位", Bounds::Whole(1, 2), [](DeviceParams& p, int64_t v) { p.stopBits = uint8_t(v); },
        [](const DeviceParams& p) { return Json(p.stopBits); });
    dev("modbus-terminal-count", "Modbus终端数量", Bounds::Whole(0, 255),
        [](DeviceParams& p, int64_t v) { p.modbusTerminalCount = uint8_t(v); },
        [](const DeviceParams& p) { return Json(p.modbusTerminalCount); });
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        const std::string channel = "channel" + std::to_string(c + 1) + ".";
        const std::string label = std::to_string(c + 1) + "号通道";
        dev(channel + "address", label + "地址", Bounds::Whole(0, 255),
            [c](DeviceParams& p, int64_t v) { p.channelAddress[c] = uint8_t(v); },
            [c](const DeviceParams& p) { return Json(p.channelAddress[c]); });
        const std::tuple<const char*, const char*, std::array<int16_t, CHANNEL_COUNT> DeviceParams::*> temps[] = {
            {"temp-upper", " 温度上限", &DeviceParams::tempUpperLimit},
            {"temp-lower", " 温度下限", &DeviceParams::tempLowerLimit}};
        for (const auto& [name, limit, field] : temps) {
            const auto member = field; // a plain variable: lambdas capture it on every compiler
            dev(channel + name, label + limit, Bounds::Tenths(kTempMin, kTempMax),
                [c, member](DeviceParams& p, int64_t v) { (p.*member)[c] = int16_t(v); },
                [c, member](const DeviceParams& p) { return TenthsJson((p.*member)[c]); });
        }
        const std::tuple<const char*, const char*, std::array<uint16_t, CHANNEL_COUNT> DeviceParams::*> humidities[] = {
            {"humidity-upper", " 湿度上限", &DeviceParams::humidityUpperLimit},
            {"humidity-lower", " 湿度下限", &DeviceParams::humidityLowerLimit}};
        for (const auto& [name, limit, field] : humidities) {
            const auto member = field; // a plain variable: lambdas capture it on every compiler
            dev(channel + name, label + limit, Bounds::Tenths(kHumidityMin, kHumidityMax),
                [c, member](DeviceParams& p, int64_t v) { (p.*member)[c] = uint16_t(v); },
                [c, member](const DeviceParams& p) { return TenthsJson((p.*member)[c]); });
        }
    }
    return t;
}

const std::vector<FieldDef>& Table()
{
    static const std::vector<FieldDef> table = BuildTable();
    return table;
}

const FieldDef* FindDef(Block block, std::string_view name)
{
    for (const FieldDef& f : Table())
        if (f.info.block == block && f.info.name == name) return &f;
    return nullptr;
}

const FieldDef& DefOf(const FieldInfo& field) { return *FindDef(field.block, field.name); }

const char* BlockName(Block block) { return block == Block::Network ? "network" : "device"; }

std::string JsonText(const Json& v) { return v.is_string() ? v.get<std::string>() : v.dump(); }

// Puts a value at its dotted name inside obj. The table lists a group's
// fields one after another, so the group is looked for among obj's keys
// (a search along them, in an ordered object) only when it is not the last.
void PutDotted(Json& obj, const std::string& name, Json value)
{
    const size_t dot = name.find('.');
    if (dot == std::string::npos) {
        obj[name] = std::move(value);
        return;
    }
    const std::string_view group(name.data(), dot);
    if (!obj.empty() && obj.back().is_object()) {
        const auto last = std::prev(obj.end());
        if (last.key() == group) {
            last->emplace(name.substr(dot + 1), std::move(value));
            return;
        }
    }
    obj[std::string(group)][name.substr(dot + 1)] = std::move(value);
}

std::string Hex(std::span<const uint8_t> bytes)
{
    std::string s;
    for (uint8_t b : bytes) {
        s += HexDigitChar(b >> 4);
        s += HexDigitChar(b & 0x0F);
    }
    return s;
}

// The fields of one block whose values differ, in table order.
template <typename Params>
std::vector<Difference> FieldDifferences(Block block, const Params& expected, const Params& actual,
                                         std::function<Json(const Params&)> FieldDef::*get)
{
    std::vector<Difference> out;
    for (const FieldDef& f : Table()) {
        if (f.info.block != block) continue;
        const Json a = (f.*get)(expected), b = (f.*get)(actual);
        if (a != b) out.push_back({f.info.name, JsonText(a), JsonText(b), a, b});
    }
    return out;
}

} // namespace

const std::vector<FieldInfo>& Fields()
{
    static const std::vector<FieldInfo> infos = [] {
        std::vector<FieldInfo> v;
        for (const FieldDef& f : Table()) v.push_back(f.info);
        return v;
    }();
    return infos;
}

const FieldInfo* FindField(Block block, std::string_view name)
{
    const FieldDef* def = FindDef(block, name);
    return def ? &def->info : nullptr;
}

std::variant<FieldValue, InputError> ParseField(Block block, std::string_view name, std::string_view text)
{
    const FieldDef* def = FindDef(block, name);
    if (!def) {
        const Block other = block == Block::Network ? Block::Device : Block::Network;
        std::string message = "unknown " + std::string(BlockName(block)) + " field '" + std::string(name) + "'";
        if (FindDef(other, name)) message += " (it is a " + std::string(BlockName(other)) + " field)";
        return InputError{std::string(name), message, Problem::UnknownField};
    }
    Checked checked = Check(def->info.bounds, text);
    if (!checked.refusal.empty())
        return InputError{def->info.name, def->info.name + ": '" + std::string(text) + "' " + checked.refusal,
                          Problem::Value, std::string(text)};
    return std::move(checked.value);
}

void StoreField(const FieldInfo& field, const FieldValue& value, NetworkParams& params)
{
    DefOf(field).setNet(params, value);
}

void StoreField(const FieldInfo& field, const FieldValue& value, DeviceParams& params)
{
    DefOf(field).setDev(params, value);
}

Json ToJson(const NetworkParams& params)
{
    Json out = Json::object();
    for (const FieldDef& f : Table())
        if (f.info.block == Block::Network) PutDotted(out, f.info.name, f.getNet(params));
    return out;
}

Json ToJson(const DeviceParams& params)
{
    Json out = Json::object();
    for (const FieldDef& f : Table())
        if (f.info.block == Block::Device) PutDotted(out, f.info.name, f.getDev(params));
    return out;
}

std::string FieldText(const NetworkParams& params, std::string_view name)
{
    const FieldDef* def = FindDef(Block::Network, name);
    return def ? JsonText(def->getNet(params)) : std::string();
}

std::string FieldText(const DeviceParams& params, std::string_view name)
{
    const FieldDef* def = FindDef(Block::Device, name);
    return def ? JsonText(def->getDev(params)) : std::string();
}

std::vector<Difference> Compare(const NetworkParams& expected, const NetworkParams& actual)
{
    // The same bytes show the same values: a read-back that took the write
    // needs no field put into text (nor a server address converted) to say so.
    if (expected == actual) return {};
    std::vector<Difference> out = FieldDifferences(Block::Network, expected, actual, &FieldDef::getNet);
    // Bytes no field shows still go back as the device sent them, so they must match too.
    if (expected.carriedBytes != actual.carriedBytes)
        out.push_back({"reserved-bytes", Hex(expected.carriedBytes), Hex(actual.carriedBytes),
                       Hex(expected.carriedBytes), Hex(actual.carriedBytes)});
    if (expected.ipMode != actual.ipMode && IpModeFromFlag(expected.ipMode) == IpModeFromFlag(actual.ipMode))
        out.push_back({"mode-byte", Hex({&expected.ipMode, 1}), Hex({&actual.ipMode, 1}), Hex({&expected.ipMode, 1}),
                       Hex({&actual.ipMode, 1})});
    for (size_t k = 0; k < SERVER_COUNT; ++k) {
        const auto& e = expected.servers[k].targetAddress;
        const auto& a = actual.servers[k].targetAddress;
        if (e != a && TargetAddressText(e) == TargetAddressText(a))
            out.push_back({"server" + std::to_string(k + 1) + ".target-address-bytes", Hex(e), Hex(a), Hex(e), Hex(a)});
    }
    return out;
}

std::vector<Difference> Compare(const DeviceParams& expected, const DeviceParams& actual)
{
    if (expected == actual) return {};
    return FieldDifferences(Block::Device, expected, actual, &FieldDef::getDev);
}

std::optional<std::string> LabelZh(Block block, std::string_view name)
{
    if (const FieldDef* def = FindDef(block, name)) return def->info.labelZh;
    // The names Compare gives bytes no field shows.
    if (block == Block::Network) {
        if (name == "reserved-bytes") return "未显示的保留字节";
        if (name == "mode-byte") return "IP获取方式字节";
        const std::string_view bytes = "-bytes";
        if (name.size() > bytes.size() && name.substr(name.size() - bytes.size()) == bytes)
            if (const FieldDef* def = FindDef(block, name.substr(0, name.size() - bytes.size()));
                def && def->info.bounds.kind == Bounds::Kind::TargetAddress)
                return def->info.labelZh + "（字节）";
    }
    return std::nullopt;
}

std::string RefusalZh(std::string_view label, std::string_view text, std::string_view range, Words words)
{
    const auto said = [words](std::string_view utf8) { return words ? words(utf8) : std::string(utf8); };
    std::string sentence = said(label) + said("：“") + std::string(text) + said("”无效");
    if (!range.empty()) sentence += said("，应为") + said(range);
    return sentence;
}

std::string RefusalZh(const FieldInfo& field, std::string_view text, Words words)
{
    return RefusalZh(field.labelZh, text, field.acceptsZh, words);
}

std::optional<InputError> ParseIpv4(std::string_view field, std::string_view text, uint32_t& address)
{
    const Checked checked = Check(Bounds::Of(Bounds::Kind::Ipv4), text);
    if (!checked.refusal.empty())
        return InputError{std::string(field), std::string(field) + ": '" + std::string(text) + "' " + checked.refusal};
    address = uint32_t(Number(checked.value));
    return std::nullopt;
}

std::optional<InputError> ParseMac(std::string_view field, std::string_view text, MacAddress& mac)
{
    const auto parsed = vornik::ParseMac(text, MacSpelling::Any);
    if (!parsed)
        return InputError{std::string(field), std::string(field) + ": '" + std::string(text) +
                                                  "' must be six hex pairs, e.g. 02-5A-C3-00-00-01, "
                                                  "02:5A:C3:00:00:01 or 025AC3000001"};
    mac = *parsed;
    return std::nullopt;
}

} // namespace vornik::settings

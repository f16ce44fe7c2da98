#include "settings/fields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <span>

#include "proto/cp936.h"
#include "proto/mac_address.h"
#include "proto/text_conv.h"

namespace vornik::settings {

namespace {

// A typed value checked: the value, or why it is refused.
struct Checked {
    FieldValue value;
    std::string refusal; // empty when the value is good
};
using Parser = std::function<Checked(std::string_view)>;

Checked Refused(std::string why) { return {int64_t(0), std::move(why)}; }

struct FieldDef {
    FieldInfo info;
    Parser parse;
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
constexpr size_t kTargetAddressBytes = TARGET_ADDRESS_SIZE - 1; // one zero byte ends it

int64_t Number(const FieldValue& v) { return std::get<int64_t>(v); }

std::string Lower(std::string_view text)
{
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// Decimal digits only, no sign, no blanks: the value or nothing.
std::optional<int64_t> Unsigned(std::string_view text)
{
    if (text.empty() || text.size() > 12) return std::nullopt;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

Parser IntegerRange(int64_t lo, int64_t hi)
{
    return [lo, hi](std::string_view text) {
        const auto v = Unsigned(text);
        if (!v || *v < lo || *v > hi)
            return Refused("must be a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
        return Checked{*v, {}};
    };
}

// A number of tenths written as [-]digits[.digit]; the exact value or nothing.
std::optional<int32_t> Tenths(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (point != std::string_view::npos && fraction.size() != 1) return std::nullopt;
    const auto w = Unsigned(whole);
    if (!w || *w > 100000) return std::nullopt;
    int64_t tenths = *w * 10;
    if (!fraction.empty()) {
        if (fraction[0] < '0' || fraction[0] > '9') return std::nullopt;
        tenths += fraction[0] - '0';
    }
    return int32_t(negative ? -tenths : tenths);
}

Parser TenthsRange(int32_t lo, int32_t hi)
{
    return [lo, hi](std::string_view text) {
        const auto v = Tenths(text);
        if (!v || *v < lo || *v > hi)
            return Refused("must be a number from " + TenthsText(lo) + " to " + TenthsText(hi) +
                           " with at most one decimal");
        return Checked{int64_t(*v), {}};
    };
}

// Index in a list of names (either case), or the index itself as a number.
std::optional<int> Choice(std::string_view text, std::span<const char* const> names)
{
    const std::string lower = Lower(text);
    for (size_t i = 0; i < names.size(); ++i)
        if (lower == Lower(names[i])) return int(i);
    if (const auto v = Unsigned(text); v && *v < int64_t(names.size())) return int(*v);
    return std::nullopt;
}

std::string Joined(std::span<const char* const> names, const char* last)
{
    std::string s;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) s += i + 1 == names.size() ? last : ", ";
        s += names[i];
    }
    return s;
}

Parser ChoiceOf(std::span<const char* const> names, bool numbersToo)
{
    const std::string accepted =
        Joined(names, " or ") + (numbersToo ? " (or 0-" + std::to_string(names.size() - 1) + ")" : "");
    return [names, accepted](std::string_view text) {
        const auto index = Choice(text, names);
        if (!index) return Refused("must be " + accepted);
        return Checked{int64_t(*index), {}};
    };
}

Checked CheckIpv4(std::string_view text)
{
    const char* const kRefusal = "must be four numbers 0-255 joined by dots, e.g. 192.168.0.9";
    uint32_t address = 0;
    int parts = 0;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot == std::string_view::npos ? text.npos : dot - start);
        const auto v = Unsigned(part);
        if (!v || *v > 255 || part.size() > 3) return Refused(kRefusal);
        address = address << 8 | uint32_t(*v);
        ++parts;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    if (parts != 4) return Refused(kRefusal);
    return {int64_t(address), {}};
}

Checked CheckTargetAddress(std::string_view text)
{
    const auto bytes = Cp936FromUtf8(text);
    if (!bytes) return Refused("must be text that code page 936 can hold (UTF-8 input)");
    if (bytes->size() > kTargetAddressBytes)
        return Refused("must be at most " + std::to_string(kTargetAddressBytes) + " bytes in code page 936 (it has " +
                       std::to_string(bytes->size()) + ")");
    for (char c : *bytes)
        if (uint8_t(c) < 0x20) return Refused("must not hold control characters");
    return {*bytes, {}};
}

Checked CheckTerminalAddress(std::string_view text)
{
    if (text.size() != TERMINAL_ADDRESS_DIGITS ||
        !std::all_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) != 0xFF; }))
        return Refused("must be 8 hex digits, e.g. 12345678");
    return {int64_t(TerminalAddressFromText(text)), {}};
}

Json TenthsJson(int32_t tenths) { return Json(double(tenths) / 10.0); }

Json ChoiceJson(unsigned value, std::span<const char* const> names)
{
    return value < names.size() ? Json(names[value]) : Json(value);
}

std::vector<FieldDef> BuildTable()
{
    std::vector<FieldDef> t;
    const auto net = [&t](std::string name, std::string accepts, Parser parse,
                          std::function<void(NetworkParams&, int64_t)> set,
                          std::function<Json(const NetworkParams&)> get) {
        t.push_back({{std::move(name), Block::Network, std::move(accepts)},
                     std::move(parse),
                     [set = std::move(set)](NetworkParams& p, const FieldValue& v) { set(p, Number(v)); },
                     nullptr,
                     std::move(get),
                     nullptr});
    };
    const auto dev = [&t](std::string name, std::string accepts, Parser parse,
                          std::function<void(DeviceParams&, int64_t)> set,
                          std::function<Json(const DeviceParams&)> get) {
        t.push_back({{std::move(name), Block::Device, std::move(accepts)},
                     std::move(parse),
                     nullptr,
                     [set = std::move(set)](DeviceParams& p, const FieldValue& v) { set(p, Number(v)); },
                     nullptr,
                     std::move(get)});
    };

    net("mode", "static or dhcp", ChoiceOf(kModes, false),
        [](NetworkParams& p, int64_t v) { p.ipMode = IpModeToFlag(int(v)); },
        [](const NetworkParams& p) { return Json(kModes[IpModeFromFlag(p.ipMode)]); });
    const std::pair<const char*, uint32_t NetworkParams::*> addresses[] = {
        {"ip", &NetworkParams::ipAddress}, {"mask", &NetworkParams::subnetMask}, {"gateway", &NetworkParams::gateway}};
    for (const auto& [name, field] : addresses) {
        const auto member = field; // a plain variable: lambdas capture it on every compiler
        net(name, "four numbers 0-255, e.g. 192.168.0.9", CheckIpv4,
            [member](NetworkParams& p, int64_t v) { p.*member = uint32_t(v); },
            [member](const NetworkParams& p) { return Json(FormatDottedQuad(p.*member)); });
    }
    net("max-connections", "0-8", IntegerRange(0, 8),
        [](NetworkParams& p, int64_t v) { p.maxConnections = uint8_t(v); },
        [](const NetworkParams& p) { return Json(p.maxConnections); });
    for (size_t k = 0; k < SERVER_COUNT; ++k) {
        const std::string server = "server" + std::to_string(k + 1) + ".";
        net(server + "local-port", "0-65535", IntegerRange(0, 65535),
            [k](NetworkParams& p, int64_t v) { p.servers[k].localPort = uint16_t(v); },
            [k](const NetworkParams& p) { return Json(p.servers[k].localPort); });
        t.push_back({{server + "target-address", Block::Network, "text of at most 29 bytes in code page 936"},
                     CheckTargetAddress,
                     [k](NetworkParams& p, const FieldValue& v) {
                         StoreTargetAddress(p.servers[k].targetAddress, std::get<std::string>(v));
                     },
                     nullptr,
                     [k](const NetworkParams& p) {
                         return Json(Utf8FromCp936(TargetAddressText(p.servers[k].targetAddress)));
                     },
                     nullptr});
        net(server + "target-port", "0-65535", IntegerRange(0, 65535),
            [k](NetworkParams& p, int64_t v) { p.servers[k].targetPort = uint16_t(v); },
            [k](const NetworkParams& p) { return Json(p.servers[k].targetPort); });
    }

    dev("server-count", "0-8", IntegerRange(0, 8), [](DeviceParams& p, int64_t v) { p.serverCount = uint8_t(v); },
        [](const DeviceParams& p) { return Json(p.serverCount); });
    dev("terminal-address", "8 hex digits", CheckTerminalAddress,
        [](DeviceParams& p, int64_t v) { p.terminalAddress = uint32_t(v); },
        [](const DeviceParams& p) { return Json(FormatTerminalAddress(p.terminalAddress)); });
    const std::pair<const char*, uint16_t DeviceParams::*> intervals[] = {
        {"login-interval", &DeviceParams::loginInterval},
        {"heartbeat-interval", &DeviceParams::heartbeatInterval},
        {"upload-interval", &DeviceParams::uploadInterval}};
    for (const auto& [name, field] : intervals) {
        const auto member = field; // a plain variable: lambdas capture it on every compiler
        dev(name, "0-65535 seconds", IntegerRange(0, 65535),
            [member](DeviceParams& p, int64_t v) { p.*member = uint16_t(v); },
            [member](const DeviceParams& p) { return Json(p.*member); });
    }
    dev("work-mode", Joined(kWorkModes, " or ") + " (or 0-5)", ChoiceOf(kWorkModes, true),
        [](DeviceParams& p, int64_t v) { p.workMode = uint8_t(v); },
        [](const DeviceParams& p) { return ChoiceJson(p.workMode, kWorkModes); });
    // The page reads the rate as a signed 32-bit number.
    dev("baud", "1-2147483647", IntegerRange(1, INT32_MAX), [](DeviceParams& p, int64_t v) { p.baudRate = uint32_t(v); },
        [](const DeviceParams& p) { return Json(p.baudRate); });
    dev("data-bits", "5-9", IntegerRange(5, 9), [](DeviceParams& p, int64_t v) { p.dataBits = uint8_t(v); },
        [](const DeviceParams& p) { return Json(p.dataBits); });
    dev("parity", "none, odd or even", ChoiceOf(kParities, false),
        [](DeviceParams& p, int64_t v) { p.parity = uint8_t(v); },
        [](const DeviceParams& p) { return ChoiceJson(p.parity, kParities); });
    dev("stop-bits", "1-2", IntegerRange(1, 2), [](DeviceParams& p, int64_t v) { p.stopBits = uint8_t(v); },
        [](const DeviceParams& p) { return Json(p.stopBits); });
    dev("modbus-terminal-count", "0-255", IntegerRange(0, 255),
        [](DeviceParams& p, int64_t v) { p.modbusTerminalCount = uint8_t(v); },
        [](const DeviceParams& p) { return Json(p.modbusTerminalCount); });
    const std::string tempRange = TenthsText(kTempMin) + " to " + TenthsText(kTempMax);
    const std::string humidityRange = TenthsText(kHumidityMin) + " to " + TenthsText(kHumidityMax);
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        const std::string channel = "channel" + std::to_string(c + 1) + ".";
        dev(channel + "address", "0-255", IntegerRange(0, 255),
            [c](DeviceParams& p, int64_t v) { p.channelAddress[c] = uint8_t(v); },
            [c](const DeviceParams& p) { return Json(p.channelAddress[c]); });
        const std::pair<const char*, std::array<int16_t, CHANNEL_COUNT> DeviceParams::*> temps[] = {
            {"temp-upper", &DeviceParams::tempUpperLimit}, {"temp-lower", &DeviceParams::tempLowerLimit}};
        for (const auto& [name, field] : temps) {
        const auto member = field; // a plain variable: lambdas capture it on every compiler
            dev(channel + name, tempRange, TenthsRange(kTempMin, kTempMax),
                [c, member](DeviceParams& p, int64_t v) { (p.*member)[c] = int16_t(v); },
                [c, member](const DeviceParams& p) { return TenthsJson((p.*member)[c]); });
        }
        const std::pair<const char*, std::array<uint16_t, CHANNEL_COUNT> DeviceParams::*> humidities[] = {
            {"humidity-upper", &DeviceParams::humidityUpperLimit},
            {"humidity-lower", &DeviceParams::humidityLowerLimit}};
        for (const auto& [name, field] : humidities) {
        const auto member = field; // a plain variable: lambdas capture it on every compiler
            dev(channel + name, humidityRange, TenthsRange(kHumidityMin, kHumidityMax),
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

// Puts a value at its dotted name inside obj.
void PutDotted(Json& obj, const std::string& name, Json value)
{
    const size_t dot = name.find('.');
    if (dot == std::string::npos)
        obj[name] = std::move(value);
    else
        obj[name.substr(0, dot)][name.substr(dot + 1)] = std::move(value);
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

std::string TenthsText(int32_t tenths)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%s%d.%d", tenths < 0 ? "-" : "", std::abs(tenths) / 10, std::abs(tenths) % 10);
    return buf;
}

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
        return InputError{std::string(name), message};
    }
    Checked checked = def->parse(text);
    if (!checked.refusal.empty())
        return InputError{def->info.name, def->info.name + ": '" + std::string(text) + "' " + checked.refusal};
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
    return FieldDifferences(Block::Device, expected, actual, &FieldDef::getDev);
}

std::optional<InputError> ParseIpv4(std::string_view field, std::string_view text, uint32_t& address)
{
    const Checked checked = CheckIpv4(text);
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

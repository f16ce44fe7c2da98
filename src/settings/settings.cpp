#include "settings/settings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>

#include "proto/text_conv.h"

namespace vornik::settings {

namespace {

// A check gives the reason a value is refused, or nothing.
using Check = std::function<std::optional<std::string>(std::string_view)>;

struct FieldDef {
    FieldInfo info;
    Check check;
    std::function<void(NetworkParams&, std::string_view)> setNet;
    std::function<void(DeviceParams&, std::string_view)> setDev;
    std::function<Json(const NetworkParams&)> getNet;
    std::function<Json(const DeviceParams&)> getDev;
};

const char* const kWorkModes[] = {"probe", "modbus", "0-5V", "0-10V", "0-10mA", "4-20mA"};
const char* const kParities[] = {"none", "odd", "even"};
constexpr int32_t kTempMin = INT16_MIN, kTempMax = INT16_MAX;
constexpr int32_t kHumidityMin = 0, kHumidityMax = UINT16_MAX;
constexpr size_t kTargetAddressBytes = TARGET_ADDRESS_SIZE - 1; // one zero byte ends it

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

Check IntegerRange(int64_t lo, int64_t hi)
{
    return [lo, hi](std::string_view text) -> std::optional<std::string> {
        const auto v = Unsigned(text);
        if (!v || *v < lo || *v > hi)
            return "must be a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
        return std::nullopt;
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

std::string TenthsText(int32_t tenths)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%s%d.%d", tenths < 0 ? "-" : "", std::abs(tenths) / 10, std::abs(tenths) % 10);
    return buf;
}

Check TenthsRange(int32_t lo, int32_t hi)
{
    return [lo, hi](std::string_view text) -> std::optional<std::string> {
        const auto v = Tenths(text);
        if (!v || *v < lo || *v > hi)
            return "must be a number from " + TenthsText(lo) + " to " + TenthsText(hi) + " with at most one decimal";
        return std::nullopt;
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

Check ChoiceOf(std::span<const char* const> names, bool numbersToo)
{
    const std::string accepted = Joined(names, " or ") + (numbersToo ? " (or 0-" + std::to_string(names.size() - 1) + ")" : "");
    return [names, accepted](std::string_view text) -> std::optional<std::string> {
        if (!Choice(text, names)) return "must be " + accepted;
        return std::nullopt;
    };
}

std::optional<std::string> CheckIpv4(std::string_view text)
{
    int parts = 0;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot == std::string_view::npos ? text.npos : dot - start);
        const auto v = Unsigned(part);
        if (!v || *v > 255 || part.size() > 3) return "must be four numbers 0-255 joined by dots, e.g. 192.168.0.9";
        ++parts;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    if (parts != 4) return "must be four numbers 0-255 joined by dots, e.g. 192.168.0.9";
    return std::nullopt;
}

std::optional<std::string> CheckTargetAddress(std::string_view text)
{
    const auto bytes = Cp936FromUtf8(text);
    if (!bytes) return "must be text that code page 936 can hold (UTF-8 input)";
    if (bytes->size() > kTargetAddressBytes)
        return "must be at most " + std::to_string(kTargetAddressBytes) + " bytes in code page 936 (it has " +
               std::to_string(bytes->size()) + ")";
    for (char c : *bytes)
        if (uint8_t(c) < 0x20) return "must not hold control characters";
    return std::nullopt;
}

std::optional<std::string> CheckTerminalAddress(std::string_view text)
{
    if (text.size() != TERMINAL_ADDRESS_DIGITS ||
        !std::all_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) != 0xFF; }))
        return "must be 8 hex digits, e.g. 12345678";
    return std::nullopt;
}

// Humidity above what a signed 16-bit number of tenths holds cannot pass through
// the page's conversion; those values are stored exactly.
uint16_t HumidityTenths(std::string_view text)
{
    const int32_t exact = *Tenths(text);
    return exact <= INT16_MAX ? HumidityTenthsFromText(text) : uint16_t(exact);
}

Json TenthsJson(int32_t tenths) { return Json(double(tenths) / 10.0); }

Json ChoiceJson(unsigned value, std::span<const char* const> names)
{
    return value < names.size() ? Json(names[value]) : Json(value);
}

std::vector<FieldDef> BuildTable()
{
    std::vector<FieldDef> t;
    const auto net = [&t](std::string name, std::string accepts, Check check,
                          std::function<void(NetworkParams&, std::string_view)> set,
                          std::function<Json(const NetworkParams&)> get) {
        t.push_back({{std::move(name), Block::Network, std::move(accepts)}, std::move(check), std::move(set), nullptr,
                     std::move(get), nullptr});
    };
    const auto dev = [&t](std::string name, std::string accepts, Check check,
                          std::function<void(DeviceParams&, std::string_view)> set,
                          std::function<Json(const DeviceParams&)> get) {
        t.push_back({{std::move(name), Block::Device, std::move(accepts)}, std::move(check), nullptr, std::move(set),
                     nullptr, std::move(get)});
    };
    static const char* const kModes[] = {"static", "dhcp"};

    net("mode", "static or dhcp", ChoiceOf(kModes, false),
        [](NetworkParams& p, std::string_view v) { p.ipMode = IpModeToFlag(*Choice(v, kModes)); },
        [](const NetworkParams& p) { return Json(kModes[IpModeFromFlag(p.ipMode)]); });
    const std::pair<const char*, uint32_t NetworkParams::*> addresses[] = {
        {"ip", &NetworkParams::ipAddress}, {"mask", &NetworkParams::subnetMask}, {"gateway", &NetworkParams::gateway}};
    for (const auto& [name, member] : addresses) {
        net(name, "four numbers 0-255, e.g. 192.168.0.9", CheckIpv4,
            [member](NetworkParams& p, std::string_view v) { p.*member = ParseDottedQuad(v); },
            [member](const NetworkParams& p) { return Json(FormatDottedQuad(p.*member)); });
    }
    net("max-connections", "0-8", IntegerRange(0, 8),
        [](NetworkParams& p, std::string_view v) { p.maxConnections = uint8_t(*Unsigned(v)); },
        [](const NetworkParams& p) { return Json(p.maxConnections); });
    for (size_t k = 0; k < SERVER_COUNT; ++k) {
        const std::string server = "server" + std::to_string(k + 1) + ".";
        net(server + "local-port", "0-65535", IntegerRange(0, 65535),
            [k](NetworkParams& p, std::string_view v) { p.servers[k].localPort = PortFromText(v); },
            [k](const NetworkParams& p) { return Json(p.servers[k].localPort); });
        net(server + "target-address", "text of at most 29 bytes in code page 936", CheckTargetAddress,
            [k](NetworkParams& p, std::string_view v) { StoreTargetAddress(p.servers[k].targetAddress, *Cp936FromUtf8(v)); },
            [k](const NetworkParams& p) { return Json(Utf8FromCp936(TargetAddressText(p.servers[k].targetAddress))); });
        net(server + "target-port", "0-65535", IntegerRange(0, 65535),
            [k](NetworkParams& p, std::string_view v) { p.servers[k].targetPort = PortFromText(v); },
            [k](const NetworkParams& p) { return Json(p.servers[k].targetPort); });
    }

    dev("server-count", "0-8", IntegerRange(0, 8),
        [](DeviceParams& p, std::string_view v) { p.serverCount = uint8_t(*Unsigned(v)); },
        [](const DeviceParams& p) { return Json(p.serverCount); });
    dev("terminal-address", "8 hex digits", CheckTerminalAddress,
        [](DeviceParams& p, std::string_view v) { p.terminalAddress = TerminalAddressFromText(v); },
        [](const DeviceParams& p) { return Json(FormatTerminalAddress(p.terminalAddress)); });
    const std::pair<const char*, uint16_t DeviceParams::*> intervals[] = {
        {"login-interval", &DeviceParams::loginInterval},
        {"heartbeat-interval", &DeviceParams::heartbeatInterval},
        {"upload-interval", &DeviceParams::uploadInterval}};
    for (const auto& [name, member] : intervals) {
        dev(name, "0-65535 seconds", IntegerRange(0, 65535),
            [member](DeviceParams& p, std::string_view v) { p.*member = uint16_t(DlgItemInt(v)); },
            [member](const DeviceParams& p) { return Json(p.*member); });
    }
    dev("work-mode", Joined(kWorkModes, " or ") + " (or 0-5)", ChoiceOf(kWorkModes, true),
        [](DeviceParams& p, std::string_view v) { p.workMode = uint8_t(*Choice(v, kWorkModes)); },
        [](const DeviceParams& p) { return ChoiceJson(p.workMode, kWorkModes); });
    // The page reads the rate as a signed 32-bit number.
    dev("baud", "1-2147483647", IntegerRange(1, INT32_MAX),
        [](DeviceParams& p, std::string_view v) { p.baudRate = uint32_t(DlgItemInt(v)); },
        [](const DeviceParams& p) { return Json(p.baudRate); });
    dev("data-bits", "5-9", IntegerRange(5, 9),
        [](DeviceParams& p, std::string_view v) { p.dataBits = uint8_t(*Unsigned(v)); },
        [](const DeviceParams& p) { return Json(p.dataBits); });
    dev("parity", "none, odd or even", ChoiceOf(kParities, false),
        [](DeviceParams& p, std::string_view v) { p.parity = uint8_t(*Choice(v, kParities)); },
        [](const DeviceParams& p) { return ChoiceJson(p.parity, kParities); });
    dev("stop-bits", "1-2", IntegerRange(1, 2),
        [](DeviceParams& p, std::string_view v) { p.stopBits = uint8_t(*Unsigned(v)); },
        [](const DeviceParams& p) { return Json(p.stopBits); });
    dev("modbus-terminal-count", "0-255", IntegerRange(0, 255),
        [](DeviceParams& p, std::string_view v) { p.modbusTerminalCount = uint8_t(DlgItemInt(v)); },
        [](const DeviceParams& p) { return Json(p.modbusTerminalCount); });
    const std::string tempRange = TenthsText(kTempMin) + " to " + TenthsText(kTempMax);
    const std::string humidityRange = TenthsText(kHumidityMin) + " to " + TenthsText(kHumidityMax);
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        const std::string channel = "channel" + std::to_string(c + 1) + ".";
        dev(channel + "address", "0-255", IntegerRange(0, 255),
            [c](DeviceParams& p, std::string_view v) { p.channelAddress[c] = uint8_t(DlgItemInt(v)); },
            [c](const DeviceParams& p) { return Json(p.channelAddress[c]); });
        const std::pair<const char*, std::array<int16_t, CHANNEL_COUNT> DeviceParams::*> temps[] = {
            {"temp-upper", &DeviceParams::tempUpperLimit}, {"temp-lower", &DeviceParams::tempLowerLimit}};
        for (const auto& [name, member] : temps) {
            dev(channel + name, tempRange, TenthsRange(kTempMin, kTempMax),
                [c, member](DeviceParams& p, std::string_view v) { (p.*member)[c] = ParseTenths(v); },
                [c, member](const DeviceParams& p) { return TenthsJson((p.*member)[c]); });
        }
        const std::pair<const char*, std::array<uint16_t, CHANNEL_COUNT> DeviceParams::*> humidities[] = {
            {"humidity-upper", &DeviceParams::humidityUpperLimit},
            {"humidity-lower", &DeviceParams::humidityLowerLimit}};
        for (const auto& [name, member] : humidities) {
            dev(channel + name, humidityRange, TenthsRange(kHumidityMin, kHumidityMax),
                [c, member](DeviceParams& p, std::string_view v) { (p.*member)[c] = HumidityTenths(v); },
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

std::optional<InputError> Patch::Set(Block block, std::string_view name, std::string_view value)
{
    const FieldDef* def = FindDef(block, name);
    if (!def) {
        const Block other = block == Block::Network ? Block::Device : Block::Network;
        std::string message = "unknown " + std::string(BlockName(block)) + " field '" + std::string(name) + "'";
        if (FindDef(other, name)) message += " (it is a " + std::string(BlockName(other)) + " field)";
        return InputError{std::string(name), message};
    }
    if (const auto why = def->check(value))
        return InputError{def->info.name, def->info.name + ": '" + std::string(value) + "' " + *why};
    Erase(block, name);
    m_changes.push_back({&def->info, std::string(value)});
    return std::nullopt;
}

std::optional<InputError> Patch::SetAssignment(Block block, std::string_view assignment)
{
    const size_t eq = assignment.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return InputError{std::string(assignment),
                          "'" + std::string(assignment) + "' is not FIELD=VALUE (e.g. server3.target-port=4001)"};
    return Set(block, assignment.substr(0, eq), assignment.substr(eq + 1));
}

void Patch::Erase(Block block, std::string_view name)
{
    std::erase_if(m_changes, [&](const Change& c) { return c.field->block == block && c.field->name == name; });
}

bool Patch::Contains(Block block, std::string_view name) const
{
    return std::any_of(m_changes.begin(), m_changes.end(),
                       [&](const Change& c) { return c.field->block == block && c.field->name == name; });
}

bool Patch::Touches(Block block) const
{
    return std::any_of(m_changes.begin(), m_changes.end(), [&](const Change& c) { return c.field->block == block; });
}

std::vector<std::string> Patch::Names(Block block) const
{
    std::vector<std::string> names;
    for (const Change& c : m_changes)
        if (c.field->block == block) names.push_back(c.field->name);
    return names;
}

void Patch::ApplyTo(NetworkParams& params) const
{
    for (const Change& c : m_changes)
        if (c.field->block == Block::Network) FindDef(Block::Network, c.field->name)->setNet(params, c.value);
}

void Patch::ApplyTo(DeviceParams& params) const
{
    for (const Change& c : m_changes)
        if (c.field->block == Block::Device) FindDef(Block::Device, c.field->name)->setDev(params, c.value);
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
    std::vector<Difference> out;
    for (const FieldDef& f : Table()) {
        if (f.info.block != Block::Network) continue;
        const std::string a = JsonText(f.getNet(expected)), b = JsonText(f.getNet(actual));
        if (a != b) out.push_back({f.info.name, a, b});
    }
    const auto hex = [](std::span<const uint8_t> bytes) {
        std::string s;
        char buf[4];
        for (uint8_t b : bytes) {
            std::snprintf(buf, sizeof buf, "%02X", b);
            s += buf;
        }
        return s;
    };
    // Bytes no field shows still go back as the device sent them, so they must match too.
    if (expected.carriedBytes != actual.carriedBytes)
        out.push_back({"reserved-bytes", hex(expected.carriedBytes), hex(actual.carriedBytes)});
    if (expected.ipMode != actual.ipMode && IpModeFromFlag(expected.ipMode) == IpModeFromFlag(actual.ipMode))
        out.push_back({"mode-byte", hex({&expected.ipMode, 1}), hex({&actual.ipMode, 1})});
    for (size_t k = 0; k < SERVER_COUNT; ++k) {
        const auto& e = expected.servers[k].targetAddress;
        const auto& a = actual.servers[k].targetAddress;
        if (e != a && TargetAddressText(e) == TargetAddressText(a))
            out.push_back({"server" + std::to_string(k + 1) + ".target-address-bytes", hex(e), hex(a)});
    }
    return out;
}

std::vector<Difference> Compare(const DeviceParams& expected, const DeviceParams& actual)
{
    std::vector<Difference> out;
    for (const FieldDef& f : Table()) {
        if (f.info.block != Block::Device) continue;
        const std::string a = JsonText(f.getDev(expected)), b = JsonText(f.getDev(actual));
        if (a != b) out.push_back({f.info.name, a, b});
    }
    return out;
}

Json FileJson(const NetworkParams* network, const DeviceParams* device, const Json& source)
{
    Json file = Json::object();
    file["format"] = FILE_FORMAT;
    file["version"] = FILE_VERSION;
    if (!source.is_null()) file["source"] = source;
    if (network) file["network"] = ToJson(*network);
    if (device) file["device"] = ToJson(*device);
    return file;
}

std::string FileText(const NetworkParams* network, const DeviceParams* device, const Json& source)
{
    return FileJson(network, device, source).dump(2) + "\n";
}

namespace {

std::optional<InputError> LeafText(const std::string& where, const Json& v, std::string& text)
{
    if (v.is_string()) {
        text = v.get<std::string>();
    } else if (v.is_number_integer()) {
        text = v.dump();
    } else if (v.is_number_float()) {
        // Limits are tenths: 25.3 is 253 and anything finer is refused by the field's check.
        const double x = v.get<double>();
        const double tenths = std::round(x * 10.0);
        if (!std::isfinite(x) || std::fabs(x * 10.0 - tenths) > 1e-6) {
            text = v.dump(); // the check refuses it, naming the field
        } else {
            text = TenthsText(int32_t(std::clamp(tenths, -1e7, 1e7)));
        }
    } else {
        return InputError{where, where + ": expected a number or a text, found " + std::string(v.type_name())};
    }
    return std::nullopt;
}

} // namespace

std::variant<Patch, InputError> PatchFromJson(const Json& file)
{
    if (!file.is_object()) return InputError{"", "the settings file must hold one JSON object"};
    if (file.value("format", std::string()) != FILE_FORMAT)
        return InputError{"format", std::string("the settings file must have \"format\": \"") + FILE_FORMAT + "\""};
    if (!file.contains("version") || !file["version"].is_number_integer() || file["version"].get<int>() != FILE_VERSION)
        return InputError{"version", "the settings file must have \"version\": " + std::to_string(FILE_VERSION)};
    Patch patch;
    for (const auto& [key, value] : file.items()) {
        if (key == "format" || key == "version" || key == "source" || key == "comment") continue;
        Block block;
        if (key == "network")
            block = Block::Network;
        else if (key == "device")
            block = Block::Device;
        else
            return InputError{key, "unknown key '" + key + "' in the settings file (network, device, source, comment)"};
        if (!value.is_object()) return InputError{key, "\"" + key + "\" must be an object"};
        for (const auto& [name, inner] : value.items()) {
            std::vector<std::pair<std::string, const Json*>> leaves;
            if (inner.is_object()) {
                for (const auto& [sub, leaf] : inner.items()) leaves.emplace_back(name + "." + sub, &leaf);
            } else {
                leaves.emplace_back(name, &inner);
            }
            for (const auto& [field, leaf] : leaves) {
                const std::string where = key + "." + field;
                std::string text;
                if (auto error = LeafText(where, *leaf, text)) return *error;
                if (auto error = patch.Set(block, field, text)) {
                    // Named as the file has it: network.server3.target-port.
                    if (error->message.rfind(field, 0) == 0) error->message = key + "." + error->message;
                    error->field = where;
                    return *error;
                }
            }
        }
    }
    return patch;
}

std::variant<Patch, InputError> PatchFromFileText(std::string_view text)
{
    Json file;
    try {
        file = Json::parse(text.begin(), text.end(), nullptr, true, /*ignore_comments=*/true);
    } catch (const nlohmann::json::parse_error& e) {
        return InputError{"", std::string("the settings file is not valid JSON: ") + e.what()};
    }
    return PatchFromJson(file);
}

std::optional<InputError> ParseIpv4(std::string_view field, std::string_view text, uint32_t& address)
{
    if (const auto why = CheckIpv4(text))
        return InputError{std::string(field), std::string(field) + ": '" + std::string(text) + "' " + *why};
    address = ParseDottedQuad(text);
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

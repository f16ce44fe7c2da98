#include "settings/bounds.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "proto/cp936.h"
#include "proto/net_params.h"
#include "proto/text_conv.h"

namespace vornik::settings {

namespace {

using Kind = Bounds::Kind;

constexpr size_t kTargetAddressBytes = TARGET_ADDRESS_SIZE - 1; // one zero byte ends it
const char* const kIpv4Example = "192.168.0.9";

Checked Refused(std::string why) { return {int64_t(0), std::move(why)}; }

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

// Index in a list of names (either case), or the index itself as a number.
std::optional<int> Choice(std::string_view text, std::span<const char* const> names)
{
    const std::string lower = Lower(text);
    for (size_t i = 0; i < names.size(); ++i)
        if (lower == Lower(names[i])) return int(i);
    if (const auto v = Unsigned(text); v && *v < int64_t(names.size())) return int(*v);
    return std::nullopt;
}

// "a, b or c" in English; "a、b 或 c" in the window's words.
std::string Joined(std::span<const std::string> words, const char* between, const char* last)
{
    std::string s;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i) s += i + 1 == words.size() ? last : between;
        s += words[i];
    }
    return s;
}

std::vector<std::string> Words(std::span<const char* const> names) { return {names.begin(), names.end()}; }

std::string Decimal(int64_t v) { return std::to_string(v); }

Checked CheckIpv4(std::string_view text)
{
    const std::string refusal = std::string("must be four numbers 0-255 joined by dots, e.g. ") + kIpv4Example;
    uint32_t address = 0;
    int parts = 0;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot == std::string_view::npos ? text.npos : dot - start);
        const auto v = Unsigned(part);
        if (!v || *v > 255 || part.size() > 3) return Refused(refusal);
        address = address << 8 | uint32_t(*v);
        ++parts;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    if (parts != 4) return Refused(refusal);
    return {int64_t(address), {}};
}

Checked CheckTargetAddress(std::string_view text)
{
    const auto bytes = Cp936FromUtf8(text);
    if (!bytes) return Refused("must be text that code page 936 can hold (UTF-8 input)");
    if (bytes->size() > kTargetAddressBytes)
        return Refused("must be at most " + Decimal(kTargetAddressBytes) + " bytes in code page 936 (it has " +
                       Decimal(int64_t(bytes->size())) + ")");
    for (char c : *bytes)
        if (uint8_t(c) < 0x20) return Refused("must not hold control characters");
    return {*bytes, {}};
}

Checked CheckTerminalAddress(std::string_view text)
{
    if (text.size() != TERMINAL_ADDRESS_DIGITS ||
        !std::all_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) != 0xFF; }))
        return Refused("must be " + Decimal(TERMINAL_ADDRESS_DIGITS) + " hex digits, e.g. 12345678");
    return {int64_t(TerminalAddressFromText(text)), {}};
}

} // namespace

std::string TenthsText(int32_t tenths)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%s%d.%d", tenths < 0 ? "-" : "", std::abs(tenths) / 10, std::abs(tenths) % 10);
    return buf;
}

std::string AcceptsText(const Bounds& b)
{
    switch (b.kind) {
    case Kind::Whole: return Decimal(b.lo) + "-" + Decimal(b.hi) + (b.seconds ? " seconds" : "");
    case Kind::Tenths: return TenthsText(int32_t(b.lo)) + " to " + TenthsText(int32_t(b.hi));
    case Kind::Choice:
        return Joined(Words(b.names), ", ", " or ") + (b.numbersToo ? " (or 0-" + Decimal(b.hi) + ")" : "");
    case Kind::Ipv4: return std::string("four numbers 0-255, e.g. ") + kIpv4Example;
    case Kind::TargetAddress: return "text of at most " + Decimal(kTargetAddressBytes) + " bytes in code page 936";
    case Kind::TerminalAddress: return Decimal(TERMINAL_ADDRESS_DIGITS) + " hex digits";
    }
    return {};
}

std::string AcceptsZh(const Bounds& b)
{
    switch (b.kind) {
    case Kind::Whole:
        // Two values are named, not ranged: "1或2".
        if (b.hi == b.lo + 1 && !b.seconds) return Decimal(b.lo) + "或" + Decimal(b.hi);
        return Decimal(b.lo) + "到" + Decimal(b.hi) + "的整数" + (b.seconds ? "（秒）" : "");
    case Kind::Tenths: return TenthsText(int32_t(b.lo)) + "到" + TenthsText(int32_t(b.hi)) + "，最多一位小数";
    case Kind::Choice: {
        std::vector<std::string> words = Words(b.names);
        if (b.numbersToo) words.push_back("0到" + Decimal(b.hi));
        return Joined(words, "、", " 或 ");
    }
    case Kind::Ipv4: return std::string("四个0到255的数，用点分隔，如") + kIpv4Example;
    case Kind::TargetAddress: return "最多" + Decimal(kTargetAddressBytes) + "字节的文字";
    case Kind::TerminalAddress: return Decimal(TERMINAL_ADDRESS_DIGITS) + "位十六进制数字";
    }
    return {};
}

Checked Check(const Bounds& b, std::string_view text)
{
    switch (b.kind) {
    case Kind::Whole: {
        const auto v = Unsigned(text);
        if (!v || *v < b.lo || *v > b.hi)
            return Refused("must be a whole number from " + Decimal(b.lo) + " to " + Decimal(b.hi));
        return {*v, {}};
    }
    case Kind::Tenths: {
        const auto v = Tenths(text);
        if (!v || *v < b.lo || *v > b.hi)
            return Refused("must be a number from " + TenthsText(int32_t(b.lo)) + " to " + TenthsText(int32_t(b.hi)) +
                           " with at most one decimal");
        return {int64_t(*v), {}};
    }
    case Kind::Choice: {
        const auto index = Choice(text, b.names);
        if (!index) return Refused("must be " + AcceptsText(b));
        return {int64_t(*index), {}};
    }
    case Kind::Ipv4: return CheckIpv4(text);
    case Kind::TargetAddress: return CheckTargetAddress(text);
    case Kind::TerminalAddress: return CheckTerminalAddress(text);
    }
    return Refused("cannot be checked");
}

} // namespace vornik::settings

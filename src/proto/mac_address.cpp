#include "proto/mac_address.h"

#include <algorithm>

#include "proto/net_params.h"

namespace vornik {

std::optional<MacAddress> ParseMac(std::string_view text, MacSpelling spelling)
{
    constexpr size_t kSpelledSize = 3 * MAC_SIZE - 1; // pairs and five separators
    const bool bare = spelling == MacSpelling::Any && text.size() == 2 * MAC_SIZE;
    if (spelling == MacSpelling::Any ? !bare && text.size() != kSpelledSize : text.size() < kSpelledSize)
        return std::nullopt;
    const size_t stride = bare ? 2 : 3;
    MacAddress mac{};
    // One spelling throughout: 02:00-00:00-00:01 is a typing slip, not a MAC.
    const char first = bare ? 0 : text[2];
    for (size_t i = 0; i < MAC_SIZE; ++i) {
        const size_t at = i * stride;
        const uint8_t hi = HexDigitValue(text[at]);
        const uint8_t lo = HexDigitValue(text[at + 1]);
        if (hi == 0xFF || lo == 0xFF) return std::nullopt;
        mac[i] = uint8_t(hi << 4 | lo);
        if (bare || i + 1 == MAC_SIZE) continue;
        const char separator = text[at + 2];
        if (separator != '-' && !(spelling == MacSpelling::Any && separator == ':')) return std::nullopt;
        if (separator != first) return std::nullopt;
    }
    return mac;
}

namespace {

void AppendHex(std::string& s, uint8_t b)
{
    s += HexDigitChar(b >> 4);
    s += HexDigitChar(b & 0x0F);
}

} // namespace

std::string FormatMacText(const MacAddress& mac)
{
    std::string s;
    for (size_t i = 0; i < mac.size(); ++i) {
        if (i) s += '-';
        AppendHex(s, mac[i]);
    }
    return s;
}

std::string FormatMacHex(const MacAddress& mac)
{
    std::string s;
    for (uint8_t b : mac) AppendHex(s, b);
    return s;
}

MacUnfit UnassignableMac(const MacAddress& mac)
{
    const auto all = [&](uint8_t b) { return std::all_of(mac.begin(), mac.end(), [b](uint8_t x) { return x == b; }); };
    if (all(0xFF)) return MacUnfit::Broadcast;
    if (all(0x00)) return MacUnfit::AllZero;
    // The group bit: the first byte's lowest.
    if (mac[0] & 1) return MacUnfit::Multicast;
    return MacUnfit::None;
}

} // namespace vornik

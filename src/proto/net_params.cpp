#include "proto/net_params.h"

#include "proto/byte_io.h"

#include <charconv>
#include <cstdio>

namespace vornik {

namespace {

// Every field of the block at its offset: one list for reading and writing.
template <typename Params, typename Visit>
void EachField(Params& p, Visit&& field)
{
    field(NP_IP_MODE, p.ipMode);
    field(NP_IP_ADDRESS, p.ipAddress);
    field(NP_GATEWAY, p.gateway);
    field(NP_SUBNET_MASK, p.subnetMask);
    field(NP_CARRIED_BYTES, p.carriedBytes);
    field(NP_MAX_CONNECTIONS, p.maxConnections);
    for (size_t i = 0; i < SERVER_COUNT; ++i) {
        const size_t base = NP_SERVERS + i * SERVER_ENTRY_SIZE;
        field(base + SE_LOCAL_PORT, p.servers[i].localPort);
        field(base + SE_TARGET_PORT, p.servers[i].targetPort);
        field(base + SE_TARGET_ADDRESS, p.servers[i].targetAddress);
    }
}

} // namespace

NetworkParamsImage EncodeNetworkParams(const NetworkParams& p)
{
    NetworkParamsImage image{};
    ByteWriter w(image);
    EachField(p, [&w](size_t at, const auto& value) { w.At(at).Field(value); });
    return image;
}

NetworkParams DecodeNetworkParams(std::span<const uint8_t, NETWORK_PARAMS_SIZE> image)
{
    NetworkParams p;
    ByteReader r(image);
    EachField(p, [&r](size_t at, auto& value) { r.At(at).Field(value); });
    return p;
}

uint8_t IpModeToFlag(int listIndex) { return listIndex == 1 ? IP_MODE_DHCP : IP_MODE_STATIC; }

int IpModeFromFlag(uint8_t flag) { return (flag & 0x80) ? 0 : 1; }

uint32_t ParseDottedQuad(std::string_view text)
{
    uint32_t finished = 0;
    uint32_t current = 0;
    for (char ch : text) {
        if (ch == '.') {
            finished = (finished << 8) | current;
            current = 0;
        } else {
            current = current * 10 + uint32_t(uint8_t(ch) - 48);
        }
    }
    return (finished << 8) | current;
}

std::string FormatDottedQuad(uint32_t a)
{
    // Not through printf: a listing of a million events puts several
    // addresses into text for each, and printf's set-up costs more than that.
    char buf[16];
    char* at = buf;
    for (int shift = 24; shift >= 0; shift -= 8) {
        at = std::to_chars(at, buf + sizeof buf, (a >> shift) & 0xFF).ptr;
        if (shift) *at++ = '.';
    }
    return std::string(buf, at);
}

uint8_t HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return uint8_t(c - '0');
    if (c >= 'a' && c <= 'f') return uint8_t(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return uint8_t(c - 'A' + 10);
    return 0xFF;
}

char HexDigitChar(uint8_t value)
{
    if (value < 10) return char('0' + value);
    if (value < 16) return char('A' + value - 10);
    return char(0xFF);
}

uint16_t PortFromText(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulating modulo 65536 gives the low 16 bits of the number however long it is.
    uint16_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = uint16_t(value * 10 + (text[i] - '0'));
    return negative ? uint16_t(0u - value) : value;
}

std::string TargetAddressText(const std::array<uint8_t, TARGET_ADDRESS_SIZE>& field)
{
    size_t n = 0;
    while (n < field.size() && field[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(field.data()), n);
}

size_t Cp936PrefixLength(std::string_view text, size_t maxBytes)
{
    size_t i = 0;
    while (i < text.size()) {
        const uint8_t b = uint8_t(text[i]);
        const size_t width = (b >= 0x81 && b <= 0xFE && i + 1 < text.size()) ? 2 : 1;
        if (i + width > maxBytes) break;
        i += width;
    }
    return i;
}

void StoreTargetAddress(std::array<uint8_t, TARGET_ADDRESS_SIZE>& field, std::string_view text936)
{
    const size_t n = Cp936PrefixLength(text936, TARGET_ADDRESS_SIZE - 1);
    for (size_t i = 0; i < n; ++i) field[i] = uint8_t(text936[i]);
    field[n] = 0;
}

} // namespace vornik

// The 292-byte network parameter block and the conversions between page texts
// and its fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vornik {

inline constexpr size_t NETWORK_PARAMS_SIZE = 292;
inline constexpr size_t SERVER_COUNT = 8;
inline constexpr size_t SERVER_ENTRY_SIZE = 34;
inline constexpr size_t TARGET_ADDRESS_SIZE = 30;
inline constexpr size_t CARRIED_BYTES_SIZE = 6;

// Offsets inside the block.
inline constexpr size_t NP_IP_MODE = 0;
inline constexpr size_t NP_IP_ADDRESS = 1;
inline constexpr size_t NP_GATEWAY = 5;
inline constexpr size_t NP_SUBNET_MASK = 9;
inline constexpr size_t NP_CARRIED_BYTES = 13;
inline constexpr size_t NP_MAX_CONNECTIONS = 19;
inline constexpr size_t NP_SERVERS = 20;
// Offsets inside one server entry.
inline constexpr size_t SE_LOCAL_PORT = 0;
inline constexpr size_t SE_TARGET_PORT = 2;
inline constexpr size_t SE_TARGET_ADDRESS = 4;

inline constexpr uint8_t IP_MODE_STATIC = 0x80;
inline constexpr uint8_t IP_MODE_DHCP = 0x00;

struct ServerEntry {
    uint16_t localPort = 0;
    uint16_t targetPort = 0;
    std::array<uint8_t, TARGET_ADDRESS_SIZE> targetAddress{}; // code page 936, zero-terminated
};

// Holds every byte of the block, so decoding and encoding again gives the same bytes.
struct NetworkParams {
    uint8_t ipMode = 0;
    uint32_t ipAddress = 0;
    uint32_t gateway = 0;
    uint32_t subnetMask = 0;
    std::array<uint8_t, CARRIED_BYTES_SIZE> carriedBytes{};
    uint8_t maxConnections = 0;
    std::array<ServerEntry, SERVER_COUNT> servers{};

    bool operator==(const NetworkParams&) const = default;
};
inline bool operator==(const ServerEntry& a, const ServerEntry& b)
{
    return a.localPort == b.localPort && a.targetPort == b.targetPort && a.targetAddress == b.targetAddress;
}

using NetworkParamsImage = std::array<uint8_t, NETWORK_PARAMS_SIZE>;

NetworkParamsImage EncodeNetworkParams(const NetworkParams& p);
NetworkParams DecodeNetworkParams(std::span<const uint8_t, NETWORK_PARAMS_SIZE> image);

// IP-mode list index -> block byte: index 1 is DHCP, anything else (no selection too) static.
uint8_t IpModeToFlag(int listIndex);
// Block byte -> list index: only bit 0x80 counts.
int IpModeFromFlag(uint8_t flag);

// Dotted text to an address value, without validation (numbers above 255 spill into the next byte).
uint32_t ParseDottedQuad(std::string_view text);
std::string FormatDottedQuad(uint32_t address);

// One hex digit to 0..15, anything else to 0xFF.
uint8_t HexDigitValue(char c);
// 0..15 to an upper-case hex digit, anything larger to 0xFF.
char HexDigitChar(uint8_t value);

// A port text read as a decimal integer (leading white space, optional sign,
// digits up to the first other character; none gives 0) kept to its low 16 bits.
uint16_t PortFromText(std::string_view text);

// Field text up to the first zero byte or the end of the field.
std::string TargetAddressText(const std::array<uint8_t, TARGET_ADDRESS_SIZE>& field);
// Stores the text and one zero byte; the rest of the field keeps its old bytes.
// A text that does not fit is cut to the whole characters that fit in 29 bytes.
void StoreTargetAddress(std::array<uint8_t, TARGET_ADDRESS_SIZE>& field, std::string_view text936);

// Length of the longest prefix of text (code page 936) made of whole characters
// and no longer than maxBytes.
size_t Cp936PrefixLength(std::string_view text, size_t maxBytes);

} // namespace vornik

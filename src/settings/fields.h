// The two parameter blocks as named fields (ip, server3.target-port,
// channel4.temp-upper, ...): what each accepts, its check, and how its value
// goes into and comes out of a block. No Qt, no sockets: the command-line
// tool and the window share it.
//
// A checked value lands in the block exactly as the window's pages store the
// same value, so a field set here writes the bytes the window writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "proto/dev_params.h"
#include "proto/net_params.h"

namespace vornik::settings {

using Json = nlohmann::ordered_json;

enum class Block { Network, Device };

// Bad input: the field it concerns (empty when none) and a sentence that
// names the field and what it accepts.
struct InputError {
    std::string field;
    std::string message;
};

struct FieldInfo {
    std::string name;    // as typed on the command line: "server3.target-port"
    Block block;
    std::string accepts; // "0-65535", "static or dhcp", ...
};

// A checked value: a number (a whole number, tenths, a list index, an IPv4
// address) or, for a target address, its code page 936 bytes.
using FieldValue = std::variant<int64_t, std::string>;

// Every field, network block first, in the order the file lists them.
const std::vector<FieldInfo>& Fields();
const FieldInfo* FindField(Block block, std::string_view name);

// Checks a typed value for the field (found by block and name); the value,
// or an error that names the field and what it accepts.
std::variant<FieldValue, InputError> ParseField(Block block, std::string_view name, std::string_view text);
// Stores a value ParseField gave for the field into a block of its kind.
void StoreField(const FieldInfo& field, const FieldValue& value, NetworkParams& params);
void StoreField(const FieldInfo& field, const FieldValue& value, DeviceParams& params);

// A block as JSON objects nested by the dotted names (server3.target-port is
// {"server3": {"target-port": ...}}), numbers as numbers, limits in degrees
// and percent with one decimal.
Json ToJson(const NetworkParams& params);
Json ToJson(const DeviceParams& params);
// One field's value as text, as a table shows it.
std::string FieldText(const NetworkParams& params, std::string_view name);
std::string FieldText(const DeviceParams& params, std::string_view name);

struct Difference {
    std::string field;
    std::string expected;
    std::string actual;
    // The same values typed as the settings file holds them (a number, a
    // word, an address); the hex of the bytes when no field shows them.
    Json expectedValue;
    Json actualValue;
};
// Fields whose values differ, in table order; bytes that no field shows (the
// reserved bytes, what follows a target address's end) are listed too.
std::vector<Difference> Compare(const NetworkParams& expected, const NetworkParams& actual);
std::vector<Difference> Compare(const DeviceParams& expected, const DeviceParams& actual);

// Tenths as the file and the messages write them: -0.5, 25.3.
std::string TenthsText(int32_t tenths);

// Addresses and MAC texts as the command line takes them.
std::optional<InputError> ParseIpv4(std::string_view field, std::string_view text, uint32_t& address);
// Six hex pairs, separated by '-' or ':' or not at all.
std::optional<InputError> ParseMac(std::string_view field, std::string_view text, MacAddress& mac);

} // namespace vornik::settings

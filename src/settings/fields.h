// The two parameter blocks as named fields (ip, server3.target-port,
// channel4.temp-upper, ...): what each accepts, its check, its label in the
// window, and how its value goes into and comes out of a block. No Qt, no
// sockets: the command-line tool and the window share it.
//
// A checked value lands in the block exactly as the window's pages store the
// same value, so a field set here writes the bytes the window writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "proto/dev_params.h"
#include "proto/net_params.h"
#include "settings/bounds.h"

namespace vornik::settings {

using Json = nlohmann::ordered_json;

enum class Block { Network, Device };

// What is wrong with an input, for a program that words it in its own language.
enum class Problem {
    Other,
    Value,          // a field's check refused `text`
    UnknownField,   // `field` is no field of its block
    NotJson,
    NumberTooLarge, // for a double
    GivenTwice,
    WrongType,      // neither a number nor a text, or a part not an object
    Format,         // "format" missing or another
    Version,
    FileUnreadable,
    FileNotRegular,
    FileTooLarge,
};

// Bad input: the field it concerns (empty when none) and a sentence that
// names the field and what it accepts.
struct InputError {
    InputError() = default;
    InputError(std::string field_, std::string message_, Problem problem_ = Problem::Other, std::string text_ = {})
        : field(std::move(field_)), message(std::move(message_)), problem(problem_), text(std::move(text_))
    {
    }

    std::string field;
    std::string message;
    Problem problem = Problem::Other;
    std::string text; // the refused value as typed, for Problem::Value
};

struct FieldInfo {
    std::string name;      // as typed on the command line: "server3.target-port"
    Block block;
    Bounds bounds;         // what it takes; both texts below are said from it
    std::string labelZh;   // the window's label, UTF-8: "服务器3 目标端口"
    std::string accepts;   // "0-65535", "static or dhcp", ...
    std::string acceptsZh; // the window's words, UTF-8: "0到65535的整数"
};

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

// The window's label (UTF-8) of a field, or of a name Compare gives bytes
// no field shows ("reserved-bytes", "server3.target-address-bytes"); nothing
// for any other name.
std::optional<std::string> LabelZh(Block block, std::string_view name);

// Puts UTF-8 words into the encoding a sentence is wanted in (code page 936).
using Words = std::string (*)(std::string_view utf8);
// The window's sentence for a value a field refuses:
// "服务器3 目标端口：“70000”无效，应为0到65535的整数"; without a range it ends
// at "无效". Its own words are UTF-8, or each put through `words`; the refused
// text goes in as the caller holds it, never converted.
std::string RefusalZh(std::string_view label, std::string_view text, std::string_view range, Words words = nullptr);
std::string RefusalZh(const FieldInfo& field, std::string_view text, Words words = nullptr);

// Addresses and MAC texts as the command line takes them.
std::optional<InputError> ParseIpv4(std::string_view field, std::string_view text, uint32_t& address);
// Six hex pairs, separated by '-' or ':' or not at all.
std::optional<InputError> ParseMac(std::string_view field, std::string_view text, MacAddress& mac);

} // namespace vornik::settings

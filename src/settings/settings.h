// The two parameter blocks as named fields (ip, server3.target-port,
// channel4.temp-upper, ...), each value checked before anything is sent, and
// the settings file that holds them for people to read and edit. No Qt, no
// sockets: the command-line tool and the window share it.
//
// Values cross into the blocks through the same conversions the pages use, so
// a field set here writes the bytes the window writes for the same value.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "proto/dev_params.h"
#include "proto/net_params.h"
#include "proto/cp936.h"

namespace vornik::settings {

using Json = nlohmann::ordered_json;

inline constexpr char FILE_FORMAT[] = "vornik-settings";
inline constexpr int FILE_VERSION = 1;

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

// Every field, network block first, in the order the file lists them.
const std::vector<FieldInfo>& Fields();
const FieldInfo* FindField(Block block, std::string_view name);

// A set of checked changes to one or both blocks.
class Patch {
public:
    // Checks the value and records the change; on bad input nothing is recorded.
    std::optional<InputError> Set(Block block, std::string_view name, std::string_view value);
    // "name=value"; the field must belong to the block.
    std::optional<InputError> SetAssignment(Block block, std::string_view assignment);

    void Erase(Block block, std::string_view name);
    bool Contains(Block block, std::string_view name) const;
    bool Touches(Block block) const;
    bool Empty() const { return m_changes.empty(); }
    std::vector<std::string> Names(Block block) const;

    // Changes only the named fields; every other byte stays as it was.
    void ApplyTo(NetworkParams& params) const;
    void ApplyTo(DeviceParams& params) const;

private:
    struct Change {
        const FieldInfo* field;
        std::string value; // checked, as typed
    };
    std::vector<Change> m_changes;
};

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
};
// Fields whose values differ, in table order; bytes that no field shows (the
// reserved bytes, what follows a target address's end) are listed too.
std::vector<Difference> Compare(const NetworkParams& expected, const NetworkParams& actual);
std::vector<Difference> Compare(const DeviceParams& expected, const DeviceParams& actual);

// The settings file: JSON with a format name and version, a "network" and a
// "device" object (either may be left out), and an optional "source" object
// that says where it came from and is never applied.
Json FileJson(const NetworkParams* network, const DeviceParams* device, const Json& source = Json());
std::string FileText(const NetworkParams* network, const DeviceParams* device, const Json& source = Json());
// Reads a file (comments allowed) into a patch; any error names its place.
std::variant<Patch, InputError> PatchFromFileText(std::string_view text);
std::variant<Patch, InputError> PatchFromJson(const Json& file);

// Addresses and MAC texts as the command line takes them.
std::optional<InputError> ParseIpv4(std::string_view field, std::string_view text, uint32_t& address);
// Six hex pairs, separated by '-' or ':' or not at all.
std::optional<InputError> ParseMac(std::string_view field, std::string_view text, MacAddress& mac);

} // namespace vornik::settings

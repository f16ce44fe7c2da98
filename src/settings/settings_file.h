// The settings file: the blocks as JSON for people to read and edit, and back
// into a patch.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "settings/fields.h"
#include "settings/patch.h"

namespace vornik::settings {

inline constexpr char FILE_FORMAT[] = "vornik-settings";
inline constexpr int FILE_VERSION = 1;

// JSON with a format name and version, a "network" and a "device" object
// (either may be left out), and an optional "source" object that says where
// it came from and is never applied.
Json FileJson(const NetworkParams* network, const DeviceParams* device, const Json& source = Json());
std::string FileText(const NetworkParams* network, const DeviceParams* device, const Json& source = Json());
// The largest settings file read: an export is a few kilobytes.
inline constexpr size_t MAX_FILE_SIZE = 1024 * 1024;

// The text of a settings file; one that is not a regular file or is larger
// than MAX_FILE_SIZE is refused before it is read.
std::variant<std::string, InputError> ReadSettingsFileText(const std::string& path);

// Reads a file (comments allowed) into a patch; any error names its place,
// and a key given twice in one object is refused.
std::variant<Patch, InputError> PatchFromFileText(std::string_view text);
std::variant<Patch, InputError> PatchFromJson(const Json& file);

} // namespace vornik::settings

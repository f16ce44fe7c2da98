// MAC addresses as people type and read them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "proto/frame.h"

namespace vornik {

enum class MacSpelling {
    // Six groups of two hex digits joined by '-' (either case), as the window's
    // field takes it; anything after the sixth group is ignored.
    Dashed,
    // The whole text is six hex pairs separated by '-' or ':', or not at all,
    // as the command line takes it.
    Any,
};

// The bytes only when the text is valid in the given spelling.
std::optional<MacAddress> ParseMac(std::string_view text, MacSpelling spelling);
inline std::optional<MacAddress> ParseMacText(std::string_view text) { return ParseMac(text, MacSpelling::Dashed); }

// Why no single device may take a MAC: a frame to it reaches every device or
// a group of them, or (all zero) names no device at all.
enum class MacUnfit { None, Broadcast, AllZero, Multicast };
MacUnfit UnassignableMac(const MacAddress& mac);

// The bytes as 00-11-AA-BB-CC-DD.
std::string FormatMacText(const MacAddress& mac);
// The bytes as twelve upper-case hex digits without separators.
std::string FormatMacHex(const MacAddress& mac);

} // namespace vornik

// The one converter between code page 936 (what devices and the window's
// texts hold) and UTF-8 (what terminals, JSON and Qt speak): iconv, or on
// Windows the system's own code page 936 (MultiByteToWideChar and back).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vornik {

// Bytes that do not convert become U+FFFD, one for each byte.
std::string Utf8FromCp936(std::string_view text936);
// Nothing when any character has no code page 936 form (or the UTF-8 is bad).
std::optional<std::string> Cp936FromUtf8(std::string_view utf8);
// The same, with '?' for each character that has no code page 936 form.
std::string Cp936FromUtf8Lossy(std::string_view utf8);

} // namespace vornik

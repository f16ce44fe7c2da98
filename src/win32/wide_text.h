// Texts between the device operations (code page 936) and the wide calls of
// Windows (UTF-16), through the one code page 936 converter (UTF-8 and UTF-16: proto/file_name.h).
#pragma once

#include <string>
#include <string_view>

#include "proto/file_name.h"

namespace vornik {

std::wstring WideFromCp936(std::string_view text936);
// A character without a code page 936 form becomes '?'.
std::string Cp936FromWide(std::wstring_view wide);

} // namespace vornik

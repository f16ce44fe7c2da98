#include "win32/wide_text.h"

#include <windows.h>

#include "proto/cp936.h"

namespace vornik {

std::wstring WideFromCp936(std::string_view text936) { return WideFromUtf8(Utf8FromCp936(text936)); }

std::string Cp936FromWide(std::wstring_view wide) { return Cp936FromUtf8Lossy(Utf8FromWide(wide)); }

} // namespace vornik

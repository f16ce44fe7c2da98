// The window's pictures, as the Linux program's --screenshot makes them:
// what the screen shows of a window, written as a PNG file.
#pragma once

#include <windows.h>

#include <string>

namespace vornik::win32 {

// False when the file cannot be written.
bool SaveWindowPng(HWND window, const std::wstring& path);

} // namespace vornik::win32

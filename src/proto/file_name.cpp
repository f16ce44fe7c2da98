#include "proto/file_name.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vornik {

#ifdef _WIN32

std::wstring WideFromUtf8(std::string_view utf8)
{
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide)
{
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::filesystem::path FilePath(const std::string& utf8Name) { return std::filesystem::path(WideFromUtf8(utf8Name)); }

std::FILE* OpenFile(const std::string& utf8Name, const char* mode)
{
    return _wfopen(WideFromUtf8(utf8Name).c_str(), WideFromUtf8(mode).c_str());
}

std::string EnvironmentText(const char* name)
{
    const wchar_t* value = _wgetenv(WideFromUtf8(name).c_str());
    return value ? Utf8FromWide(value) : std::string();
}

#else

std::filesystem::path FilePath(const std::string& utf8Name) { return std::filesystem::path(utf8Name); }

std::FILE* OpenFile(const std::string& utf8Name, const char* mode) { return std::fopen(utf8Name.c_str(), mode); }

std::string EnvironmentText(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

#endif

} // namespace vornik

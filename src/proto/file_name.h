// File names as every layer holds them: UTF-8 text, as the command line, JSON
// and the window give them. Windows' narrow file calls would read such bytes
// in the ANSI code page (1252 turns 设备 into "??"), so there they go through
// the wide calls; elsewhere the bytes are the name.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace vornik {

std::filesystem::path FilePath(const std::string& utf8Name);
// std::fopen for such a name; nullptr as fopen gives it.
std::FILE* OpenFile(const std::string& utf8Name, const char* mode);
// The environment variable's value as UTF-8; empty when unset.
std::string EnvironmentText(const char* name);

#ifdef _WIN32
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
#endif

} // namespace vornik

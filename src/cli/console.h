// vornikctl's text reaches a Windows console whole. Every layer speaks UTF-8;
// a console given those bytes shows them in its own code page (1252 makes
// 服务器 "æœåŠ¡å™¨"), so on Windows std::cout and std::cerr hand a console
// UTF-16 through WriteConsoleW, and a file or pipe the UTF-8 bytes with
// CRLF line ends, as the C runtime's text mode gave them before.
#pragma once

#include <string>
#include <vector>

namespace vornik::cli {

// printf's formats, onto std::cout: the one road every line of output takes,
// so that it reaches the console as the rest does, and in order.
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same onto std::cerr.
void PrintError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same into a string, for text printed later.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

#ifdef _WIN32
// Called first in wmain, before anything is written.
void UseUnicodeConsole();
#endif

#ifdef _WIN32
// wmain's arguments as the UTF-8 text the parser takes; "/?", the help
// request every Windows program answers, is --help.
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv);
#endif

} // namespace vornik::cli

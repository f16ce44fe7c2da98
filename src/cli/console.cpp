#include "cli/console.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <string>

namespace vornik::cli {

namespace {

void Write(std::ostream& out, const char* format, std::va_list args)
{
    char small[512];
    std::va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    if (n >= 0 && size_t(n) < sizeof small) {
        out.write(small, n);
    } else if (n >= 0) {
        std::string text(size_t(n) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, again);
        out.write(text.data(), n);
    }
    va_end(again);
}

} // namespace

void Print(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    Write(std::cout, format, args);
    va_end(args);
}

void PrintError(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    Write(std::cerr, format, args);
    va_end(args);
}

} // namespace vornik::cli

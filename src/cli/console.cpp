#include "cli/console.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <string>

namespace vornik::cli {

namespace {

// Hands `write` the formatted text; a line of usual length costs no allocation.
template <typename Write>
void Formatted(const Write& write, const char* format, std::va_list args)
{
    char small[512];
    std::va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    if (n >= 0 && size_t(n) < sizeof small) {
        write(small, size_t(n));
    } else if (n >= 0) {
        std::string text(size_t(n) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, again);
        write(text.data(), size_t(n));
    }
    va_end(again);
}

void Write(std::ostream& out, const char* format, std::va_list args)
{
    Formatted([&](const char* text, size_t n) { out.write(text, std::streamsize(n)); }, format, args);
}

} // namespace

void Print(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    Write(std::cout, format, args);
    va_end(args);
}

std::string Format(const char* format, ...)
{
    std::string text;
    std::va_list args;
    va_start(args, format);
    Formatted([&](const char* t, size_t n) { text.assign(t, n); }, format, args);
    va_end(args);
    return text;
}

void PrintError(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    Write(std::cerr, format, args);
    va_end(args);
}

} // namespace vornik::cli

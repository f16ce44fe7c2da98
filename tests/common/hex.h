// Test helpers: frames written as hex text, as they appear in protocol notes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace vornik::test {

// "AA 00 01" -> {0xAA, 0x00, 0x01}; spaces and dashes are ignored.
inline std::vector<uint8_t> Hex(std::string_view text)
{
    std::vector<uint8_t> out;
    int high = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else if (c == ' ' || c == '-' || c == '\n') continue;
        else throw std::invalid_argument("not hex: " + std::string(text));
        if (high < 0) {
            high = v;
        } else {
            out.push_back(uint8_t(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0) throw std::invalid_argument("odd hex: " + std::string(text));
    return out;
}

inline std::string ToHex(std::span<const uint8_t> bytes)
{
    std::string s;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
        s += buf;
    }
    return s;
}

// UTF-8 text to code page 936 through the system's converter (the C library's,
// or Windows' own), called directly, independent of the program's conversions.
#ifdef _WIN32
inline std::string Gbk(std::string_view utf8)
{
    std::wstring wide(utf8.size() + 1, L'\0');
    wide.resize(size_t(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), int(wide.size()))));
    std::string out(wide.size() * 2 + 8, '\0');
    BOOL usedDefault = FALSE;
    out.resize(size_t(::WideCharToMultiByte(936, 0, wide.data(), int(wide.size()), out.data(), int(out.size()), nullptr,
                                            &usedDefault)));
    if (usedDefault) throw std::runtime_error("cannot convert to GBK");
    return out;
}
#else
inline std::string Gbk(std::string_view utf8)
{
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == iconv_t(-1)) throw std::runtime_error("no GBK converter");
    std::string in(utf8);
    std::string out(in.size() * 2 + 8, '\0');
    char* inp = in.data();
    size_t inLeft = in.size();
    char* outp = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (rc == size_t(-1)) throw std::runtime_error("cannot convert to GBK");
    out.resize(out.size() - outLeft);
    return out;
}
#endif

} // namespace vornik::test

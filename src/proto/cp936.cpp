#include "proto/cp936.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace vornik {

namespace {

enum class OnFailure { Stop, Replace };

// The bytes of the one UTF-8 character at the front of text: its whole
// sequence when the lead byte and its continuations agree, else the one byte.
size_t Utf8CharacterLength(const char* text, size_t left)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    const size_t n = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 1;
    if (n > left) return 1;
    for (size_t i = 1; i < n; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 1;
    return n;
}

#ifndef _WIN32

// iconv, which names code page 936 "CP936".
constexpr const char* kCp936 = "CP936";
constexpr const char* kUtf8 = "UTF-8";

std::optional<std::string> Convert(const char* to, const char* from, std::string_view in, OnFailure onFailure,
                                   std::string_view replacement)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) return std::nullopt;
    const bool fromUtf8 = std::string_view(from) == kUtf8;
    std::string out;
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buffer[256];
    bool failed = false;
    while (left > 0) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        const size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, size_t(dst - buffer));
        if (r != size_t(-1) || errno == E2BIG) continue;
        if (onFailure == OnFailure::Stop) {
            failed = true;
            break;
        }
        // The unconvertible unit is passed over whole: one byte of code page
        // 936, one character of UTF-8 (a stray byte alone).
        const size_t skip = fromUtf8 ? Utf8CharacterLength(src, left) : 1;
        out += replacement;
        src += skip;
        left -= skip;
    }
    iconv_close(cd);
    if (failed) return std::nullopt;
    return out;
}

#else

// Windows converts through UTF-16, its own code page 936 table and UTF-8.
constexpr UINT kCp936 = 936;
constexpr UINT kUtf8 = CP_UTF8;

std::optional<std::wstring> Wide(UINT codePage, std::string_view in)
{
    if (in.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring out(size_t(n), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), out.data(), n);
    return out;
}

// Nothing when a character has no form in the code page: no "best fit"
// stand-in and no default character is accepted.
std::optional<std::string> Narrow(UINT codePage, std::wstring_view in)
{
    if (in.empty()) return std::string();
    BOOL usedDefault = FALSE;
    // UTF-8 takes neither flag nor the default-character question.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL* askDefault = utf8 ? nullptr : &usedDefault;
    const int n = ::WideCharToMultiByte(codePage, flags, in.data(), int(in.size()), nullptr, 0, nullptr, askDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string out(size_t(n), '\0');
    ::WideCharToMultiByte(codePage, flags, in.data(), int(in.size()), out.data(), n, nullptr, askDefault);
    return out;
}

std::optional<std::string> Recode(UINT to, UINT from, std::string_view in)
{
    const auto wide = Wide(from, in);
    if (!wide) return std::nullopt;
    return Narrow(to, *wide);
}

// The bytes of the one code page 936 character at the front: two for a lead
// byte (0x81 to 0xFE) with a byte after it, else one.
size_t Cp936CharacterLength(const char* text, size_t left)
{
    const unsigned char lead = static_cast<unsigned char>(text[0]);
    return lead >= 0x81 && lead <= 0xFE && left >= 2 ? 2 : 1;
}

std::optional<std::string> Convert(UINT to, UINT from, std::string_view in, OnFailure onFailure,
                                   std::string_view replacement)
{
    if (auto whole = Recode(to, from, in)) return whole;
    if (onFailure == OnFailure::Stop) return std::nullopt;
    // Character by character, so that only the unconvertible unit is
    // replaced: one byte of code page 936 (a lead byte and the byte after it
    // are tried together first), one character of UTF-8 (a stray byte alone).
    std::string out;
    const bool fromUtf8 = from == kUtf8;
    size_t at = 0;
    while (at < in.size()) {
        const size_t n = fromUtf8 ? Utf8CharacterLength(in.data() + at, in.size() - at)
                                  : Cp936CharacterLength(in.data() + at, in.size() - at);
        if (auto piece = Recode(to, from, in.substr(at, n))) {
            out += *piece;
            at += n;
        } else {
            out += replacement;
            at += fromUtf8 ? n : 1;
        }
    }
    return out;
}

#endif

// Both encodings keep ASCII as it is, and most of what devices hold (server
// addresses, numbers) is ASCII: a converter opened for every field of every
// device of a large batch would cost more than the rest of its report.
bool Ascii(std::string_view text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

} // namespace

std::string Utf8FromCp936(std::string_view text936)
{
    if (Ascii(text936)) return std::string(text936);
    return Convert(kUtf8, kCp936, text936, OnFailure::Replace, "\xEF\xBF\xBD").value_or(std::string());
}

std::optional<std::string> Cp936FromUtf8(std::string_view utf8)
{
    if (Ascii(utf8)) return std::string(utf8);
    return Convert(kCp936, kUtf8, utf8, OnFailure::Stop, {});
}

std::string Cp936FromUtf8Lossy(std::string_view utf8)
{
    if (Ascii(utf8)) return std::string(utf8);
    return Convert(kCp936, kUtf8, utf8, OnFailure::Replace, "?").value_or(std::string());
}

} // namespace vornik

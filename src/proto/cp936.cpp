#include "proto/cp936.h"

#include <cerrno>
#include <iconv.h>

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

std::optional<std::string> Convert(const char* to, const char* from, std::string_view in, OnFailure onFailure,
                                   std::string_view replacement)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) return std::nullopt;
    const bool fromUtf8 = std::string_view(from) == "UTF-8";
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

} // namespace

std::string Utf8FromCp936(std::string_view text936)
{
    return Convert("UTF-8", "CP936", text936, OnFailure::Replace, "\xEF\xBF\xBD").value_or(std::string());
}

std::optional<std::string> Cp936FromUtf8(std::string_view utf8)
{
    return Convert("CP936", "UTF-8", utf8, OnFailure::Stop, {});
}

std::string Cp936FromUtf8Lossy(std::string_view utf8)
{
    return Convert("CP936", "UTF-8", utf8, OnFailure::Replace, "?").value_or(std::string());
}

} // namespace vornik

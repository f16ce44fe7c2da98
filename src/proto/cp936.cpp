#include "proto/cp936.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace vornik {

namespace {

enum class OnFailure { Stop, Replace };

// Length of the UTF-8 sequence that starts with lead, at least 1.
size_t Utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
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
        const size_t skip = fromUtf8 ? std::min(left, Utf8SequenceLength(static_cast<unsigned char>(*src))) : 1;
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

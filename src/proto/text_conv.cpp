#include "proto/text_conv.h"

#include "proto/net_params.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace vornik {

std::string FormatTenthsSigned(int16_t tenths)
{
    char buf[16];
    const int v = tenths;
    if (v < 0)
        std::snprintf(buf, sizeof buf, "-%d.%01d", -v / 10, -v % 10);
    else
        std::snprintf(buf, sizeof buf, "%d.%01d", v / 10, v % 10);
    return buf;
}

std::string FormatTenthsUnsigned(uint16_t tenths)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%01u", unsigned(tenths) / 10, unsigned(tenths) % 10);
    return buf;
}

namespace {

// The text's value times ten, truncated toward zero; 0 for a text without digits.
double TruncatedTenths(std::string_view text)
{
    // A decimal number only: white space, a sign, digits with a point, an
    // exponent; reading stops at the first character that does not fit, so
    // "0x10" is 0, not a hexadecimal 16.
    size_t i = 0;
    const auto digits = [&](size_t& at) {
        const size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
        return at - start;
    };
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t mantissa = digits(i);
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits(i);
    }
    if (mantissa == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        if (digits(e) > 0) i = e;
    }
    // Converted in the "C" locale, whatever locale the program runs in.
    const std::string number(text.substr(start, i - start));
#ifdef _WIN32
    // Windows' C library has the same call under its own names.
    static const _locale_t cLocale = _create_locale(LC_ALL, "C");
    return std::trunc(_strtod_l(number.c_str(), nullptr, cLocale) * 10.0);
#else
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return std::trunc(strtod_l(number.c_str(), nullptr, cLocale) * 10.0);
#endif
}

// The low 16 bits of a whole number of any size, as two's complement keeps them.
uint16_t Low16(double whole)
{
    if (!std::isfinite(whole)) return 0;
    double low = std::fmod(whole, 65536.0); // exact for every double
    if (low < 0) low += 65536.0;
    return uint16_t(low);
}

} // namespace

int16_t ParseTenths(std::string_view text) { return int16_t(Low16(TruncatedTenths(text))); }

uint16_t HumidityTenthsFromText(std::string_view text)
{
    const double whole = TruncatedTenths(text);
    if (whole >= 0) return Low16(whole);
    return uint16_t(std::abs(int(int16_t(Low16(whole)))));
}

int32_t DlgItemInt(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const size_t digitsStart = i;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT32_MAX) + 1) return 0;
    }
    if (i == digitsStart) return 0;
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return 0;
    return int32_t(value);
}

std::string DlgItemText(int32_t value) { return std::to_string(value); }


uint32_t TerminalAddressFromText(std::string_view text)
{
    uint32_t terminal = 0;
    for (size_t k = 0; k < TERMINAL_ADDRESS_DIGITS / 2; ++k) {
        const size_t at = 2 * k;
        const uint8_t hi = at < text.size() ? HexDigitValue(text[at]) : 0;
        const uint8_t lo = at + 1 < text.size() ? HexDigitValue(text[at + 1]) : 0;
        terminal = (terminal << 8) | uint8_t(hi * 16 + lo);
    }
    return terminal;
}

std::string FormatTerminalAddress(uint32_t address)
{
    char text[TERMINAL_ADDRESS_DIGITS + 1];
    std::snprintf(text, sizeof text, "%08x", unsigned(address));
    return text;
}

} // namespace vornik

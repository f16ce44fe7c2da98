// Conversions between the texts typed into the pages and the values sent to devices.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "proto/frame.h"
#include "proto/mac_address.h"

namespace vornik {

// Tenths to text: signed for temperatures (-5 -> "-0.5"), unsigned for humidity.
std::string FormatTenthsSigned(int16_t tenths);
std::string FormatTenthsUnsigned(uint16_t tenths);
// Text read by the C library's atof rules, times ten, truncated toward zero,
// kept to its low 16 bits (however large the value; not finite gives 0).
int16_t ParseTenths(std::string_view text);

// A humidity limit text to tenths: read like a temperature, as the unsigned
// value a device holds, so that every text FormatTenthsUnsigned makes goes
// back as its value. Humidity is never negative on the device: a negative
// text gives the magnitude of its signed 16-bit tenths.
uint16_t HumidityTenthsFromText(std::string_view text);

// The eight characters of a terminal address text, pairs taken as hex digits
// most significant first; a character that is no hex digit counts as 0xFF in
// its pair's sum, as the page has always sent it. Only the first eight
// characters are read; a shorter text reads as if padded with zero bytes.
uint32_t TerminalAddressFromText(std::string_view text);
// The address as eight lower-case hex digits, as a read reply shows it.
std::string FormatTerminalAddress(uint32_t address);
inline constexpr size_t TERMINAL_ADDRESS_DIGITS = 8;

// The integer value of an edit as a dialog reads it with signed translation:
// leading white space, an optional sign, decimal digits; text it cannot
// translate (no digits, out of 32-bit range) gives 0.
int32_t DlgItemInt(std::string_view text);
// The decimal text of a value read as a signed 32-bit number.
std::string DlgItemText(int32_t value);

} // namespace vornik

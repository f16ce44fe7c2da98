// What a field takes, written once per field: its check and every sentence
// that tells a user what it takes (vornikctl's English, the window's Chinese)
// are said from the same bounds, so the two languages cannot drift apart from
// the check or from each other.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace vornik::settings {

// A checked value: a number (a whole number, tenths, a list index, an IPv4
// address) or, for a target address, its code page 936 bytes.
using FieldValue = std::variant<int64_t, std::string>;

struct Bounds {
    enum class Kind { Whole, Tenths, Choice, Ipv4, TargetAddress, TerminalAddress };

    Kind kind;
    int64_t lo = 0, hi = 0;               // Whole; Tenths in tenths
    std::span<const char* const> names{}; // Choice: the file's words, entry 0 first
    bool numbersToo = false;              // Choice: said to take the entry's number as well
    bool seconds = false;                 // Whole: a number of seconds

    static Bounds Whole(int64_t lo, int64_t hi) { return {Kind::Whole, lo, hi}; }
    static Bounds Seconds(int64_t lo, int64_t hi) { return {Kind::Whole, lo, hi, {}, false, true}; }
    static Bounds Tenths(int32_t lo, int32_t hi) { return {Kind::Tenths, lo, hi}; }
    static Bounds Choice(std::span<const char* const> names, bool numbersToo)
    {
        return {Kind::Choice, 0, int64_t(names.size()) - 1, names, numbersToo};
    }
    static Bounds Of(Kind kind) { return {kind}; }
};

// What the field takes, as vornikctl lists it: "0-65535", "static or dhcp".
std::string AcceptsText(const Bounds& bounds);
// The same in the window's words (UTF-8): "0到65535的整数", "static 或 dhcp".
std::string AcceptsZh(const Bounds& bounds);

// A typed value checked: the value, or why it is refused, as the end of an
// English sentence ("must be a whole number from 0 to 8").
struct Checked {
    FieldValue value;
    std::string refusal; // empty when the value is good
};
Checked Check(const Bounds& bounds, std::string_view text);

// Tenths as the file and the messages write them: -0.5, 25.3.
std::string TenthsText(int32_t tenths);

} // namespace vornik::settings

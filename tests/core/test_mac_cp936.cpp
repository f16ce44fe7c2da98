// The one MAC parser in both spellings, and the one code page 936 converter.
#include <gtest/gtest.h>

#include "hex.h"
#include "proto/cp936.h"
#include "proto/mac_address.h"

using namespace vornik;
using vornik::test::ToHex;

namespace {

// The command line takes three spellings of the whole text; nothing may follow.
TEST(ParseMacAny, TakesThreeSpellingsOfTheWholeText)
{
    const MacAddress mac{0x02, 0x5A, 0xC3, 0x00, 0x00, 0x01};
    const struct {
        const char* text;
        bool accepted;
    } rows[] = {
        {"02-5A-C3-00-00-01", true},
        {"02:5a:c3:00:00:01", true},
        {"025AC3000001", true},
        {"02-5A:C3-00:00-01", true},      // each separator is either
        {"02-5A-C3-00-00-01-", false},    // the window's field ignores a tail, the command line does not
        {"02-5A-C3-00-00-01 ", false},
        {"025AC300000", false},
        {"025AC30000011", false},
        {"02.5A.C3.00.00.01", false},
        {"02-5A-C3-00-00-0G", false},
        {"0-25A-C3-00-00-01", false},
        {"", false},
    };
    for (const auto& row : rows) {
        const auto parsed = ParseMac(row.text, MacSpelling::Any);
        EXPECT_EQ(parsed.has_value(), row.accepted) << row.text;
        if (parsed && row.accepted) EXPECT_EQ(*parsed, mac) << row.text;
    }
}

// GB 2312 and GBK code points from the code page's published table.
TEST(Cp936, ConvertsBothWaysAndMarksWhatItCannot)
{
    const struct {
        const char* utf8;
        const char* cp936;
    } pairs[] = {
        {"搜索", "CB D1 CB F7"},
        {"网络参数", "CD F8 C2 E7 B2 CE CA FD"},
        {"Vornik多探头", "56 6F 72 6E 69 6B B6 E0 CC BD CD B7"},
        {"€", "80"},          // the one single byte above 0x7F
        {"", ""},
    };
    for (const auto& p : pairs) {
        const auto bytes = Cp936FromUtf8(p.utf8);
        ASSERT_TRUE(bytes.has_value()) << p.utf8;
        EXPECT_EQ(ToHex({reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()}), p.cp936) << p.utf8;
        EXPECT_EQ(Utf8FromCp936(*bytes), p.utf8);
    }

    // A character the code page lacks: refused, or '?' where something must be sent.
    EXPECT_FALSE(Cp936FromUtf8("a😀b").has_value());
    EXPECT_EQ(Cp936FromUtf8Lossy("a😀b"), "a?b");
    EXPECT_EQ(Cp936FromUtf8Lossy("网\xff络"), "\xcd\xf8?\xc2\xe7"); // a stray byte that is no UTF-8
    // Bytes that are no code page 936: one U+FFFD each, the rest kept.
    EXPECT_EQ(Utf8FromCp936("A\xff"), "A\xEF\xBF\xBD");
    EXPECT_EQ(Utf8FromCp936("\xcb"), "\xEF\xBF\xBD"); // a lead byte cut off at the end
}

} // namespace

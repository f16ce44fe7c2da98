// The one MAC parser in both spellings, and the one code page 936 converter.
#include <cstring>

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
        {"02-5A:C3-00:00-01", false},     // one spelling throughout: mixed is a slip
        {"02:5A-C3:00-00:01", false},
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
        {"192.168.0.1\t~\x7F", "31 39 32 2E 31 36 38 2E 30 2E 31 09 7E 7F"}, // ASCII, controls too, as it is
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

// The ends of the code page's ranges and the bytes that are no character in
// it; expected UTF-8 from the published GBK table (0x8140 is U+4E02, the
// first GBK character; 0xB0A1 U+554A and 0xD7F9 U+5EA7 the first and last of
// GB 2312's first level; 0xA1A1 U+3000). Runs with iconv and with Windows'
// converter alike.
struct Cp936Row {
    const char* name;
    const char* cp936;
    const char* utf8;
};

class Cp936Bytes : public testing::TestWithParam<Cp936Row> {};

TEST_P(Cp936Bytes, ConvertToUtf8WithOneReplacementPerBadByte)
{
    const std::string got = Utf8FromCp936(GetParam().cp936);
    EXPECT_EQ(ToHex({reinterpret_cast<const uint8_t*>(got.data()), got.size()}),
              ToHex({reinterpret_cast<const uint8_t*>(GetParam().utf8), std::strlen(GetParam().utf8)}));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Cp936Bytes,
    testing::Values(Cp936Row{"HighestSingleByteIsAscii", "\x7f", "\x7f"},
                    Cp936Row{"FirstGbkCharacter", "\x81\x40", "\xE4\xB8\x82"},
                    Cp936Row{"IdeographicSpace", "\xA1\xA1", "\xE3\x80\x80"},
                    Cp936Row{"FirstLevelOneHanzi", "\xB0\xA1", "\xE5\x95\x8A"},
                    Cp936Row{"LastLevelOneHanzi", "\xD7\xF9", "\xE5\xBA\xA7"},
                    // 0x7F is never a trail byte: the lead alone is bad, 0x7F stays.
                    Cp936Row{"TrailByte7FIsNoTrail", "\x81\x7f", "\xEF\xBF\xBD\x7f"},
                    Cp936Row{"LeadBeforeADigit", "\x81\x30", "\xEF\xBF\xBD" "0"},
                    Cp936Row{"TwoFFBytesTwoReplacements", "\xff\xff", "\xEF\xBF\xBD\xEF\xBF\xBD"},
                    Cp936Row{"LeadCutOffAfterAHanzi", "\xB0\xA1\xB0", "\xE5\x95\x8A\xEF\xBF\xBD"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Utf8Row {
    const char* name;
    const char* utf8;
    bool strictConverts; // Cp936FromUtf8 gives something
    const char* lossy;   // Cp936FromUtf8Lossy, hex
};

class Utf8Text : public testing::TestWithParam<Utf8Row> {};

TEST_P(Utf8Text, ConvertsOnlyWhatTheCodePageHolds)
{
    EXPECT_EQ(Cp936FromUtf8(GetParam().utf8).has_value(), GetParam().strictConverts);
    const std::string lossy = Cp936FromUtf8Lossy(GetParam().utf8);
    EXPECT_EQ(ToHex({reinterpret_cast<const uint8_t*>(lossy.data()), lossy.size()}), GetParam().lossy);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Text,
    testing::Values(Utf8Row{"Euro", "\xE2\x82\xAC", true, "80"},
                    // No "best fit": a letter with an accent is not sent as the bare letter.
                    Utf8Row{"AccentedLetterOutsideTheCodePage", "\xC3\xA5", false, "3F"},
                    Utf8Row{"KoreanSyllable", "\xEA\xB0\x80", false, "3F"},
                    Utf8Row{"CutOffSequence", "A\xE5\x95", false, "41 3F 3F"},
                    Utf8Row{"OverlongSlash", "\xC0\xAF", false, "3F 3F"},
                    Utf8Row{"LastLevelOneHanzi", "\xE5\xBA\xA7", true, "D7 F9"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

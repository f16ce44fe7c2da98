#include <gtest/gtest.h>

#include <climits>

#include "hex.h"
#include "proto/text_conv.h"

using namespace vornik;
using vornik::test::Hex;
using vornik::test::ToHex;

namespace {

TEST(ParseMacText, AcceptsSixDashedGroups)
{
    const struct {
        const char* text;
        const char* bytes;
    } accepted[] = {
        {"02-03-04-05-06-07", "02 03 04 05 06 07"},
        {"02-0a-0b-0c-0d-0e", "02 0A 0B 0C 0D 0E"},
        {"02-0A-0B-0C-0D-0E", "02 0A 0B 0C 0D 0E"},
        {"02-03-04-05-06-07-99", "02 03 04 05 06 07"}, // the part after the sixth group is ignored
        {"FF-FF-FF-FF-FF-FF", "FF FF FF FF FF FF"},
    };
    for (const auto& a : accepted) {
        const auto mac = ParseMacText(a.text);
        ASSERT_TRUE(mac.has_value()) << a.text;
        EXPECT_EQ(ToHex(*mac), ToHex(Hex(a.bytes))) << a.text;
    }
}

TEST(ParseMacText, RefusesEverythingElse)
{
    for (const char* text : {"02:03:04:05:06:07", "020304050607", "02-03-04-05-06-0", "0G-03-04-05-06-07",
                             "", "02-03-04-05-06", "02-03-04-05-06-0G", "02-03-04-05-06 07", "2-03-04-05-06-07",
                             " 02-03-04-05-06-07"})
        EXPECT_FALSE(ParseMacText(text).has_value()) << text;
}

TEST(MacText, FormatsTheFieldAndTheListCell)
{
    const MacAddress mac{0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD};
    EXPECT_EQ(FormatMacText(mac), "00-11-AA-BB-CC-DD");
    EXPECT_EQ(FormatMacHex(MacAddress{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x0A}), "001A2B3C4D0A");
}

TEST(FormatTenths, SignedAndUnsigned)
{
    const struct {
        int16_t v;
        const char* text;
    } temps[] = {{-5, "-0.5"}, {-123, "-12.3"}, {0, "0.0"}, {999, "99.9"}, {-32768, "-3276.8"}, {32767, "3276.7"},
                 {253, "25.3"}, {-10, "-1.0"}};
    for (const auto& t : temps) EXPECT_EQ(FormatTenthsSigned(t.v), t.text) << t.v;

    const struct {
        uint16_t v;
        const char* text;
    } hums[] = {{0, "0.0"}, {65535, "6553.5"}, {999, "99.9"}, {32768, "3276.8"}};
    for (const auto& h : hums) EXPECT_EQ(FormatTenthsUnsigned(h.v), h.text) << h.v;
}

TEST(ParseTenths, FollowsAtofAndTruncates)
{
    const struct {
        const char* text;
        int16_t tenths;
    } cases[] = {
        {"99.9", 999},    {"25", 250},     {"-0.5", -5},       {"12.36", 123},  {"-0.05", 0},
        {"", 0},          {"abc", 0},      {"  7.5xyz", 75},   {"+1.5", 15},    {"1e1", 100},
        {"3276.8", -32768}, {"-3276.8", -32768}, {"6553.6", 0}, {"1,5", 10},     {".5", 5},
        {"-12.3", -123},  {"1e30", 0},         {"0x10", 0},        {"inf", 0},      {"1e", 10},
        {"2.5e-1", 2},    {"-.", 0},           {"5.", 50},
        // Beyond 32 bits the low 16 bits still count: 3,000,000,000 is B2D05E00.
        {"300000000", 0x5E00}, {"-300000000", -0x5E00}, {"300000000.09", 0x5E00}, {"1e400", 0},
        {"429496729.6", 0},    {"429496729.7", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseTenths(c.text), c.tenths) << c.text;
}

TEST(HumidityTenthsFromText, EveryShownValueGoesBackUnchanged)
{
    const struct {
        const char* text;
        uint16_t tenths;
    } cases[] = {
        {"0.0", 0},       {"3276.7", 32767}, {"3276.8", 32768}, {"4000.0", 40000}, {"6553.5", 65535},
        {"6553.6", 0},    {"12.36", 123},    {"", 0},           {"abc", 0},
        // A typed minus sign is dropped, from the signed 16-bit tenths as before.
        {"-5", 50},       {"-3276.8", 32768}, {"-0.05", 0},     {"-4000", 25536},
    };
    for (const auto& c : cases) EXPECT_EQ(HumidityTenthsFromText(c.text), c.tenths) << c.text;
    // Every value a page can show, humidity and temperature, goes back as it came.
    for (unsigned v = 0; v <= 0xFFFF; ++v) {
        ASSERT_EQ(HumidityTenthsFromText(FormatTenthsUnsigned(uint16_t(v))), v) << v;
        ASSERT_EQ(ParseTenths(FormatTenthsSigned(int16_t(v))), int16_t(v)) << v;
    }
}

TEST(DlgItemInt, SignedTranslation)
{
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"4800", 4800},     {"-7", -7},     {"  42", 42},   {"", 0},       {"abc", 0},
        {"-", 0},           {"12abc", 12},  {"2147483647", INT_MAX},  {"-2147483648", INT_MIN},
        {"2147483648", 0},  {"99999999999", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(DlgItemInt(c.text), c.value) << c.text;
    EXPECT_EQ(DlgItemText(-1), "-1");
    EXPECT_EQ(DlgItemText(int32_t(0xFFFFFFFFu)), "-1");
}

} // namespace

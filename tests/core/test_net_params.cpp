#include <gtest/gtest.h>

#include <numeric>

#include "hex.h"
#include "proto/frame.h"
#include "proto/net_params.h"

using namespace vornik;
using vornik::test::Gbk;
using vornik::test::Hex;
using vornik::test::ToHex;

namespace {

TEST(ParseDottedQuad, ConvertsWithoutValidation)
{
    const struct {
        const char* text;
        uint32_t value;
        const char* shownAgain;
    } cases[] = {
        {"192.168.0.9", 0xC0A80009, "192.168.0.9"},
        {"1.2.3.300", 0x0102032C, "1.2.3.44"}, // 300 spills into the byte above
        {"10.1", 0x00000A01, "0.0.10.1"},
        {"1.2.3.4.5", 0x02030405, "2.3.4.5"},
        {"", 0, "0.0.0.0"},
        {"255.255.255.0", 0xFFFFFF00, "255.255.255.0"},
        // Any character but '.' is a digit of value (code - 48): 'a' counts 49, 'x' 72.
        {"1.2a.3.4", 0x01450304, "1.69.3.4"},
        {"1.x.3.4", 0x01480304, "1.72.3.4"},
        // A middle number over 255 is ORed over the number before it, not added.
        {"1.300.3.4", 0x012C0304, "1.44.3.4"},
        {"4.256.3.4", 0x05000304, "5.0.3.4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseDottedQuad(c.text), c.value) << c.text;
        EXPECT_EQ(FormatDottedQuad(c.value), c.shownAgain) << c.text;
    }
}

TEST(IpMode, OnlyBit80CountsOnReadAndWholeByteOnWrite)
{
    const struct {
        uint8_t flag;
        int index;
    } reads[] = {{0x80, 0}, {0x81, 0}, {0xFF, 0}, {0x00, 1}, {0x01, 1}, {0x7F, 1}};
    for (const auto& r : reads) EXPECT_EQ(IpModeFromFlag(r.flag), r.index) << int(r.flag);

    const struct {
        int index;
        uint8_t flag;
    } writes[] = {{0, 0x80}, {1, 0x00}, {-1, 0x80}, {2, 0x80}};
    for (const auto& w : writes) EXPECT_EQ(IpModeToFlag(w.index), w.flag) << w.index;
}

TEST(PortFromText, KeepsTheLow16Bits)
{
    const struct {
        const char* text;
        uint16_t port;
    } cases[] = {
        {"2000", 2000}, {"70000", 4464}, {"-1", 65535}, {"65536", 0}, {"abc", 0}, {"", 0},
        {"  12x", 12},  {"+5", 5},       {"-65535", 1}, {"4294967297", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(PortFromText(c.text), c.port) << c.text;
}

TEST(HexDigits, BothWays)
{
    const struct {
        char c;
        uint8_t v;
    } values[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15}, {'g', 0xFF}, {'G', 0xFF},
                  {'-', 0xFF}, {' ', 0xFF}, {'\0', 0xFF}};
    for (const auto& x : values) EXPECT_EQ(HexDigitValue(x.c), x.v) << x.c;
    EXPECT_EQ(HexDigitChar(0), '0');
    EXPECT_EQ(HexDigitChar(9), '9');
    EXPECT_EQ(HexDigitChar(10), 'A');
    EXPECT_EQ(HexDigitChar(15), 'F');
    EXPECT_EQ(HexDigitChar(16), char(0xFF));
}

TEST(NetworkParams, FieldsLandAtTheirOffsets)
{
    NetworkParams p;
    p.ipMode = 0x80;
    p.ipAddress = ParseDottedQuad("192.168.0.9");
    p.gateway = ParseDottedQuad("192.168.0.1");
    p.subnetMask = ParseDottedQuad("255.255.255.0");
    p.carriedBytes = {1, 2, 3, 4, 5, 6};
    p.maxConnections = 8;
    p.servers[0].localPort = 2000;
    p.servers[0].targetPort = 0x1234;
    p.servers[7].localPort = 0xBEEF;
    StoreTargetAddress(p.servers[7].targetAddress, "abc");
    const NetworkParamsImage image = EncodeNetworkParams(p);

    EXPECT_EQ(ToHex(std::span(image).first(30)),
              "80 09 00 A8 C0 01 00 A8 C0 00 FF FF FF 01 02 03 04 05 06 08 D0 07 34 12 00 00 00 00 00 00");
    // Server 8 starts at 258; its address at 262.
    EXPECT_EQ(ToHex(std::span(image).subspan(258, 8)), "EF BE 00 00 61 62 63 00");
}

TEST(NetworkParams, DecodingAndEncodingKeepsEveryByte)
{
    NetworkParamsImage image;
    std::iota(image.begin(), image.end(), uint8_t(7));
    EXPECT_EQ(EncodeNetworkParams(DecodeNetworkParams(image)), image);
}

TEST(TargetAddress, ThirtyNonZeroBytesShowAsThirtyCharacters)
{
    std::array<uint8_t, TARGET_ADDRESS_SIZE> field;
    field.fill('7');
    EXPECT_EQ(TargetAddressText(field), std::string(30, '7'));
}

TEST(TargetAddress, ShorterTextKeepsTheOldTail)
{
    std::array<uint8_t, TARGET_ADDRESS_SIZE> field{};
    StoreTargetAddress(field, "192.168.0.166");
    StoreTargetAddress(field, "10.0.0.1");
    EXPECT_EQ(ToHex(std::span(field).first(14)), ToHex(Hex("31 30 2E 30 2E 30 2E 31 00 2E 31 36 36 00")));
    EXPECT_EQ(TargetAddressText(field), "10.0.0.1");
}

TEST(TargetAddress, LongTextIsCutAtWholeCharacters)
{
    const struct {
        const char* name;
        std::string text;
        std::string stored;
    } cases[] = {
        {"exactly 29 bytes", std::string(29, 'a'), std::string(29, 'a')},
        {"35 ASCII bytes", std::string(35, 'b'), std::string(29, 'b')},
        {"double-byte char across the limit", std::string(28, 'c') + Gbk("中"), std::string(28, 'c')},
        {"double-byte char ending at 29", std::string(27, 'd') + Gbk("中") + "x", std::string(27, 'd') + Gbk("中")},
        {"all double-byte", Gbk("服务器地址服务器地址服务器地址服务器"), Gbk("服务器地址服务器地址服务器地")},
    };
    for (const auto& c : cases) {
        std::array<uint8_t, TARGET_ADDRESS_SIZE> field;
        field.fill(0xEE);
        StoreTargetAddress(field, c.text);
        EXPECT_EQ(TargetAddressText(field), c.stored) << c.name;
        EXPECT_EQ(field[c.stored.size()], 0) << c.name;
    }
}

} // namespace

#include <gtest/gtest.h>

#include <random>

#include "crc_reference.h"
#include "hex.h"
#include "sim_fleet.h"
#include "vectors.h"
#include "proto/crc16.h"
#include "proto/dev_params.h"

using namespace vornik;
using vornik::test::BitwiseCrc16;
using vornik::test::Hex;
using vornik::test::WithBitwiseCrc;
using vornik::test::ToHex;
using vornik::test::kStartupBlock;
using vornik::test::kStartupReadCrc;
using vornik::test::kStartupWriteCrc;

namespace {

// The simulator's factory block is the start-up block; the simulator's own
// tests hold it to the hand-written bytes of vectors.h.
DeviceParams StartupParams() { return vornik::sim::FactoryDeviceParams(); }

std::vector<uint8_t> Bytes(const std::string& hex) { return Hex(hex); }

TEST(Crc16Modbus, CheckValueOverDigits)
{
    const std::string digits = "123456789";
    const uint16_t crc = Crc16Modbus(std::span(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()));
    EXPECT_EQ(crc, 0x4B37);
}

TEST(Crc16Modbus, AgreesWithBitwiseReference)
{
    std::mt19937 rng(1901);
    for (size_t len : {0u, 1u, 2u, 4u, 94u, 255u, 1000u}) {
        std::vector<uint8_t> data(len);
        for (auto& b : data) b = uint8_t(rng());
        EXPECT_EQ(Crc16Modbus(data), BitwiseCrc16(data)) << len;
    }
}

TEST(BuildDeviceFrame, ReadRequestIsFourBytes)
{
    std::array<uint8_t, DEVICE_FRAME_SIZE> buf{};
    ASSERT_EQ(BuildDeviceFrame(buf, DEVICE_FUNC_READ, StartupParams()), 4);
    EXPECT_EQ(ToHex(std::span(buf).first(4)), "7E 10 21 DC");
}

TEST(BuildDeviceFrame, OtherFunctionsWriteNothing)
{
    for (uint8_t f : {0x00, 0x0F, 0x12, 0xFF}) {
        std::array<uint8_t, DEVICE_FRAME_SIZE> buf{};
        EXPECT_EQ(BuildDeviceFrame(buf, f, StartupParams()), 0) << int(f);
        EXPECT_EQ(buf, (std::array<uint8_t, DEVICE_FRAME_SIZE>{}));
    }
}

TEST(BuildDeviceFrame, WriteFrameOfStartupValues)
{
    std::array<uint8_t, DEVICE_FRAME_SIZE> buf{};
    ASSERT_EQ(BuildDeviceFrame(buf, DEVICE_FUNC_WRITE, StartupParams()), 96);
    EXPECT_EQ(ToHex(buf), ToHex(Bytes(std::string("7E 11 ") + kStartupBlock + " " + kStartupWriteCrc)));
}

TEST(BuildDeviceFrame, FieldEncodings)
{
    DeviceParams p;
    p.terminalAddress = 0x12345678;
    p.baudRate = 4800;
    p.tempLowerLimit[0] = -50;
    p.dataBits = 8;
    p.parity = 0;
    p.stopBits = 1;
    p.humidityLowerLimit[7] = 0x8000;
    std::array<uint8_t, DEVICE_FRAME_SIZE> buf{};
    BuildDeviceFrame(buf, DEVICE_FUNC_WRITE, p);
    EXPECT_EQ(ToHex(std::span(buf).subspan(3, 4)), "78 56 34 12");
    EXPECT_EQ(ToHex(std::span(buf).subspan(14, 4)), "C0 12 00 00");
    EXPECT_EQ(ToHex(std::span(buf).subspan(32, 2)), "CE FF");
    EXPECT_EQ(ToHex(std::span(buf).subspan(18, 3)), "08 00 01");
    EXPECT_EQ(ToHex(std::span(buf).subspan(92, 2)), "00 80");
}

TEST(ParseDeviceFrame, ReadReplyOfStartupValues)
{
    const auto frame = Bytes(std::string("7E 10 ") + kStartupBlock + " " + kStartupReadCrc);
    DeviceParams p;
    ASSERT_EQ(ParseDeviceFrame(frame, p), DEVICE_FUNC_READ);
    EXPECT_EQ(p, StartupParams());
}

TEST(ParseDeviceFrame, WriteFrameTurnedIntoReplyParsesBack)
{
    DeviceParams original = StartupParams();
    original.tempLowerLimit = {-1, -32768, 32767, 0, 5, -5, 100, -100};
    original.humidityLowerLimit = {0, 65535, 1, 2, 3, 4, 5, 6};
    original.baudRate = 0xFFFFFFFF;
    original.stopBits = 2;
    original.parity = 2;
    std::array<uint8_t, DEVICE_FRAME_SIZE> buf{};
    BuildDeviceFrame(buf, DEVICE_FUNC_WRITE, original);
    buf[1] = DEVICE_FUNC_READ;
    const uint16_t crc = BitwiseCrc16(std::span(buf).first(94));
    buf[94] = uint8_t(crc & 0xFF);
    buf[95] = uint8_t(crc >> 8);
    DeviceParams parsed;
    ASSERT_EQ(ParseDeviceFrame(buf, parsed), DEVICE_FUNC_READ);
    EXPECT_EQ(parsed, original);
}

TEST(ParseDeviceFrame, RefusedFramesLeaveParamsAlone)
{
    const auto good = Bytes(std::string("7E 10 ") + kStartupBlock + " " + kStartupReadCrc);
    auto swapped = good;
    std::swap(swapped[94], swapped[95]);
    auto mark7F = good;
    mark7F[0] = 0x7F;
    mark7F = WithBitwiseCrc(std::vector<uint8_t>(mark7F.begin(), mark7F.begin() + 94));
    auto shortRead = WithBitwiseCrc(std::vector<uint8_t>(good.begin(), good.begin() + 50));
    const struct {
        const char* name;
        std::vector<uint8_t> frame;
        uint8_t result;
    } cases[] = {
        {"checksum bytes exchanged", swapped, 0},
        {"first byte 7F", mark7F, 0},
        {"length 2", Hex("21 DC"), 0},
        {"length 1", Hex("7E"), 0},
        {"empty", {}, 0},
        {"read reply shorter than a block", shortRead, 0},
        {"read request echoed", Hex("7E 10 21 DC"), 0},
        {"write acknowledgement", Hex("7E 11 E0 1C"), DEVICE_FUNC_WRITE},
        {"longer acknowledgement", WithBitwiseCrc(Hex("7E 11 01 02 03")), DEVICE_FUNC_WRITE},
        {"function 0", WithBitwiseCrc(Hex("7E 00")), 0},
        {"function 0x33", WithBitwiseCrc(Hex("7E 33 00")), 0x33},
        {"three bytes with function 0x11", Hex("7E 11 E0"), 0},
    };
    for (const auto& c : cases) {
        DeviceParams p = StartupParams();
        p.loginInterval = 4242;
        const DeviceParams before = p;
        EXPECT_EQ(ParseDeviceFrame(c.frame, p), c.result) << c.name;
        EXPECT_EQ(p, before) << c.name;
    }
}

TEST(ParseDeviceFrame, LongerReadReplyDecodesItsBlockAndIgnoresTheRest)
{
    // The start-up block, with its login interval changed to 7, then four
    // bytes more before the checksum: a valid 0x10 frame of 100 bytes.
    auto body = Bytes(std::string("7E 10 ") + kStartupBlock);
    body[7] = 0x07;
    body[8] = 0x00;
    body.insert(body.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    const auto frame = WithBitwiseCrc(body);
    ASSERT_EQ(frame.size(), 100u);
    DeviceParams expected = StartupParams();
    expected.loginInterval = 7;
    DeviceParams p;
    ASSERT_EQ(ParseDeviceFrame(frame, p), DEVICE_FUNC_READ);
    EXPECT_EQ(p, expected);
}

// The block without its frame, as the history keeps it: the worked example's
// bytes decode to the start-up values, and every byte is some field's, so any
// block comes back byte for byte.
TEST(DeviceBlock, StartupBytesAreTheStartupValues)
{
    const auto bytes = Bytes(kStartupBlock);
    ASSERT_EQ(bytes.size(), DEVICE_BLOCK_SIZE);
    DeviceBlock block;
    std::copy(bytes.begin(), bytes.end(), block.begin());
    EXPECT_EQ(DecodeDeviceBlock(block), StartupParams());
    EXPECT_EQ(EncodeDeviceBlock(StartupParams()), block);
}

TEST(DeviceBlock, EveryByteComesBack)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        DeviceBlock block;
        for (uint8_t& b : block) b = uint8_t(random());
        EXPECT_EQ(EncodeDeviceBlock(DecodeDeviceBlock(block)), block) << "round " << round;
    }
}

TEST(DeviceBlock, FramedAsAReadReplyAndAsAWrite)
{
    const DeviceBlock block = EncodeDeviceBlock(StartupParams());
    struct Row {
        const char* name;
        uint8_t function;
        const char* crc;
    } rows[] = {{"read_reply_0x10", DEVICE_FUNC_READ, kStartupReadCrc}, {"write_0x11", DEVICE_FUNC_WRITE, kStartupWriteCrc}};
    for (const Row& row : rows) {
        const auto frame = DeviceBlockFrame(row.function, block);
        EXPECT_EQ(ToHex(std::span(frame).first(2)), row.function == DEVICE_FUNC_READ ? "7E 10" : "7E 11") << row.name;
        EXPECT_EQ(ToHex(std::span(frame).subspan(DF_SERVER_COUNT, DEVICE_BLOCK_SIZE)), ToHex(Bytes(kStartupBlock)))
            << row.name;
        EXPECT_EQ(ToHex(std::span(frame).subspan(DF_CRC, 2)), row.crc) << row.name;
    }
}

} // namespace

#include <gtest/gtest.h>

#include "hex.h"
#include "proto/frame.h"
#include "proto/frame_dispatch.h"
#include "proto/net_params.h"

using namespace vornik;
using vornik::test::Hex;
using vornik::test::ToHex;

namespace {

const MacAddress kMac001122{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const MacAddress kMac0011AA{0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD};
const MacAddress kMacZero{};
const MacAddress kMac0200{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

struct RequestCase {
    const char* name;
    Frame built;
    const char* expected;
};

class RequestFrames : public testing::TestWithParam<RequestCase> {};

TEST_P(RequestFrames, MatchTheWorkedBytes)
{
    EXPECT_EQ(ToHex(GetParam().built), ToHex(Hex(GetParam().expected)));
}

const uint8_t kReadDeviceFrame[] = {0x7E, 0x10, 0x21, 0xDC};

INSTANTIATE_TEST_SUITE_P(
    Worked, RequestFrames,
    testing::Values(
        RequestCase{"AA_00_01_02_02", BuildSearchRequest(), "AA 00 01 02 02"},
        RequestCase{"read_network_001122334455", BuildNetworkReadRequest(kMac001122),
                    "AA 00 07 03 00 11 22 33 44 55 02"},
        RequestCase{"read_network_0011AABBCCDD", BuildNetworkReadRequest(kMac0011AA),
                    "AA 00 07 03 00 11 AA BB CC DD 22"},
        RequestCase{"write_mac_020304050607",
                    BuildWriteMacRequest(kMac0011AA, MacAddress{0x02, 0x03, 0x04, 0x05, 0x06, 0x07}),
                    "AA 00 0D 0F 00 11 AA BB CC DD 02 03 04 05 06 07 49"},
        RequestCase{"factory_defaults", BuildFactoryDefaultsRequest(kMac0011AA), "AA 00 07 06 00 11 AA BB CC DD 25"},
        RequestCase{"read_device_no_target", BuildDeviceParamsRequest(kMacZero, kReadDeviceFrame),
                    "AA 00 0B 0A 00 00 00 00 00 00 7E 10 21 DC 95"},
        RequestCase{"read_device_020000000001", BuildDeviceParamsRequest(kMac0200, kReadDeviceFrame),
                    "AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameSum8, WrapsModulo256)
{
    // 0x03 + 0x00 + 0x11 + 0x22 + 0x33 + 0x44 + 0x55 = 0x102
    EXPECT_EQ(FrameSum8(Hex("03 00 11 22 33 44 55")), 0x02);
    EXPECT_EQ(FrameSum8({}), 0x00);
}

TEST(NetworkWriteRequest, HasLength012BAnd303Bytes)
{
    NetworkParamsImage image{};
    const Frame f = BuildNetworkWriteRequest(kMac0011AA, image);
    ASSERT_EQ(f.size(), 303u);
    EXPECT_EQ(ToHex(std::span(f).first(10)), "AA 01 2B 04 00 11 AA BB CC DD");
}

// ---- Dispatch ----

struct Recorder : IFrameHandlers {
    std::string calls;
    uint8_t function = 0;
    MacAddress sender{};
    void HandleSearchReply(const SearchReplyFields&) override { calls += "search;"; }
    void HandleNetworkReply(const MacAddress&, const NetworkParamsImage&) override { calls += "network;"; }
    void HandleDeviceReply(const MacAddress& from, uint8_t f, const DeviceParams* read) override
    {
        calls += read ? "device read;" : "device;";
        sender = from;
        function = f;
    }
    void RefreshInfoArea() override { calls += "refresh;"; }
};

std::vector<uint8_t> Padded(std::string_view hex, size_t size)
{
    auto v = Hex(hex);
    v.resize(size, 0);
    return v;
}

struct DispatchCase {
    const char* name;
    std::vector<uint8_t> datagram;
    const char* calls;
};

class Dispatch : public testing::TestWithParam<DispatchCase> {};

TEST_P(Dispatch, RoutesByMarkerAndCommand)
{
    FrameBuffer buffer{};
    Recorder r;
    DispatchFrame(GetParam().datagram, buffer, r);
    EXPECT_EQ(r.calls, GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Dispatch,
    testing::Values(
        DispatchCase{"device_length_0_dropped_without_refresh", Hex("55 00 00 0A"), ""},
        DispatchCase{"device_0B_length_0_dropped_without_refresh", Hex("55 00 00 0B"), ""},
        DispatchCase{"undecoded_07_refresh_only", Hex("55 00 00 07"), "refresh;"},
        DispatchCase{"write_reply_04_refresh_only", Padded("55 00 01 04", 20), "refresh;"},
        DispatchCase{"request_marker_ignored", Hex("AA 00 01 02 02"), "refresh;"},
        DispatchCase{"search_reply", Padded("55 00 11 02", 20), "search;refresh;"},
        DispatchCase{"search_reply_19_bytes_dropped", Padded("55 00 11 02", 19), "refresh;"},
        DispatchCase{"network_reply", Padded("55 01 2B 03", 302), "network;refresh;"},
        DispatchCase{"network_reply_301_bytes_dropped", Padded("55 01 2B 03", 301), "refresh;"},
        DispatchCase{"device_reply_fits", Hex("55 00 04 0A 00 00 00 00 00 00 7E 11 E0 1C"), "device;refresh;"},
        DispatchCase{"device_reply_0B", Hex("55 00 04 0B 00 00 00 00 00 00 7E 11 E0 1C"), "device;refresh;"},
        DispatchCase{"device_length_past_datagram", Hex("55 00 05 0A 00 00 00 00 00 00 7E 11 E0 1C"), "refresh;"},
        DispatchCase{"device_reply_crc_wrong", Hex("55 00 04 0A 00 00 00 00 00 00 7E 11 E0 1D"), "refresh;"},
        DispatchCase{"device_reply_other_function", Hex("55 00 04 0A 00 00 00 00 00 00 7E 12 A0 1D"), "device;refresh;"},
        DispatchCase{"device_read_reply_too_short", Hex("55 00 04 0A 00 00 00 00 00 00 7E 10 21 DC"), "refresh;"},
        DispatchCase{"three_bytes", Hex("55 00 00"), "refresh;"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Dispatch, ReadsExactlyTheInnerFrame)
{
    // The two bytes after it would fail the CRC if they were taken as its end.
    FrameBuffer buffer{};
    Recorder r;
    DispatchFrame(Hex("55 00 04 0A 01 02 03 04 05 06 7E 11 E0 1C FF FF"), buffer, r);
    EXPECT_EQ(r.calls, "device;refresh;");
    EXPECT_EQ(r.function, 0x11);
    EXPECT_EQ(ToHex(r.sender), "01 02 03 04 05 06");
}

TEST(Dispatch, ShortReplyNeverSeesAnEarlierDatagram)
{
    // A long reply leaves bytes behind in the buffer; a later short one must not be decoded from them.
    FrameBuffer buffer{};
    Recorder r;
    DispatchFrame(Padded("55 01 2B 03", 302), buffer, r);
    r.calls.clear();
    DispatchFrame(Hex("55 00 01 03"), buffer, r);
    EXPECT_EQ(r.calls, "refresh;");
}

} // namespace

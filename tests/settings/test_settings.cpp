// The named fields: what each accepts and refuses, the values they put into
// the blocks, and the settings file read back into the same blocks.
#include <gtest/gtest.h>

#include <fstream>

#include "proto/text_conv.h"
#include "settings/settings.h"

using namespace vornik;
using namespace vornik::settings;

namespace {

struct Refused {
    Block block;
    const char* field;
    const char* value;
    const char* says; // a part of the message that tells what is accepted
};

class RefusedInput : public testing::TestWithParam<Refused> {};

TEST_P(RefusedInput, NamesTheFieldAndTheRangeAndRecordsNothing)
{
    const Refused& r = GetParam();
    Patch patch;
    const auto error = patch.Set(r.block, r.field, r.value);
    ASSERT_TRUE(error.has_value()) << r.field << "=" << r.value;
    EXPECT_NE(error->message.find(r.field), std::string::npos) << error->message;
    EXPECT_NE(error->message.find(r.says), std::string::npos) << error->message;
    EXPECT_TRUE(patch.Empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RefusedInput,
    testing::Values(Refused{Block::Network, "ip", "192.168.0", "four numbers 0-255"},
                    Refused{Block::Network, "ip", "192.168.0.256", "four numbers 0-255"},
                    Refused{Block::Network, "mask", "255.255.255.0.0", "four numbers 0-255"},
                    Refused{Block::Network, "gateway", "a.b.c.d", "four numbers 0-255"},
                    Refused{Block::Network, "gateway", " 10.0.0.1", "four numbers 0-255"},
                    Refused{Block::Network, "mode", "auto", "static or dhcp"},
                    Refused{Block::Network, "max-connections", "9", "0 to 8"},
                    Refused{Block::Network, "server3.local-port", "65536", "0 to 65535"},
                    Refused{Block::Network, "server8.target-port", "-1", "0 to 65535"},
                    Refused{Block::Network, "server1.target-address", "123456789012345678901234567890", "at most 29 bytes"},
                    // Fifteen Chinese characters are 30 bytes in code page 936.
                    Refused{Block::Network, "server2.target-address", "服务器服务器服务器服务器服务器", "at most 29 bytes"},
                    Refused{Block::Network, "server9.local-port", "1", "unknown network field"},
                    Refused{Block::Network, "baud", "9600", "it is a device field"},
                    Refused{Block::Device, "ip", "10.0.0.1", "it is a network field"},
                    Refused{Block::Device, "server-count", "9", "0 to 8"},
                    Refused{Block::Device, "terminal-address", "1234567", "8 hex digits"},
                    Refused{Block::Device, "terminal-address", "1234567G", "8 hex digits"},
                    Refused{Block::Device, "login-interval", "65536", "0 to 65535"},
                    Refused{Block::Device, "work-mode", "6", "probe, modbus"},
                    Refused{Block::Device, "baud", "0", "1 to 2147483647"},
                    Refused{Block::Device, "baud", "2147483648", "1 to 2147483647"},
                    Refused{Block::Device, "data-bits", "4", "5 to 9"},
                    Refused{Block::Device, "parity", "mark", "none, odd or even"},
                    Refused{Block::Device, "stop-bits", "3", "1 to 2"},
                    Refused{Block::Device, "channel1.address", "256", "0 to 255"},
                    Refused{Block::Device, "modbus-terminal-count", "256", "0 to 255"},
                    Refused{Block::Device, "modbus-terminal-count", "-1", "0 to 255"},
                    Refused{Block::Device, "channel4.temp-upper", "3276.8", "-3276.8 to 3276.7"},
                    Refused{Block::Device, "channel4.temp-lower", "-3276.9", "-3276.8 to 3276.7"},
                    Refused{Block::Device, "channel4.temp-upper", "25.35", "at most one decimal"},
                    Refused{Block::Device, "channel4.temp-upper", "1e2", "at most one decimal"},
                    Refused{Block::Device, "channel8.humidity-upper", "6553.6", "0.0 to 6553.5"},
                    Refused{Block::Device, "channel8.humidity-lower", "-0.1", "0.0 to 6553.5"},
                    Refused{Block::Device, "channel9.address", "1", "unknown device field"}));

TEST(Patch, AssignmentWithoutEqualsSignIsRefused)
{
    Patch patch;
    const auto error = patch.SetAssignment(Block::Network, "ip");
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("FIELD=VALUE"), std::string::npos);
}

// The values each field puts into the block, worked out by hand.
TEST(Patch, PutsTheTypedValuesIntoTheNetworkBlock)
{
    NetworkParams p;
    p.carriedBytes = {1, 2, 3, 4, 5, 6};
    p.servers[2].targetAddress.fill('x');
    Patch patch;
    for (const char* a : {"mode=dhcp", "ip=10.1.2.3", "mask=255.255.0.0", "gateway=10.1.0.254", "max-connections=4",
                          "server3.local-port=65535", "server3.target-port=4001", "server3.target-address=host.lan"})
        ASSERT_FALSE(patch.SetAssignment(Block::Network, a)) << a;
    patch.ApplyTo(p);
    EXPECT_EQ(p.ipMode, 0x00);
    EXPECT_EQ(p.ipAddress, 0x0A010203u);
    EXPECT_EQ(p.subnetMask, 0xFFFF0000u);
    EXPECT_EQ(p.gateway, 0x0A0100FEu);
    EXPECT_EQ(p.maxConnections, 4);
    EXPECT_EQ(p.servers[2].localPort, 65535);
    EXPECT_EQ(p.servers[2].targetPort, 4001);
    // The text and one zero byte; what follows keeps the device's bytes.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.servers[2].targetAddress.data()), 10),
              std::string("host.lan\0x", 10));
    EXPECT_EQ(p.carriedBytes, (std::array<uint8_t, 6>{1, 2, 3, 4, 5, 6}));
}

TEST(Patch, PutsTheTypedValuesIntoTheDeviceBlock)
{
    DeviceParams p;
    Patch patch;
    for (const char* a : {"server-count=3", "terminal-address=0a1B2c3D", "login-interval=65535", "work-mode=4-20mA",
                          "baud=115200", "data-bits=7", "parity=EVEN", "stop-bits=2", "modbus-terminal-count=255",
                          "channel4.address=17", "channel4.temp-upper=25.3", "channel4.temp-lower=-3276.8",
                          "channel4.humidity-upper=6553.5", "channel4.humidity-lower=0.1", "channel1.temp-upper=-0.5"})
        ASSERT_FALSE(patch.SetAssignment(Block::Device, a)) << a;
    patch.ApplyTo(p);
    EXPECT_EQ(p.serverCount, 3);
    EXPECT_EQ(p.terminalAddress, 0x0A1B2C3Du);
    EXPECT_EQ(p.loginInterval, 65535);
    EXPECT_EQ(p.workMode, 5);
    EXPECT_EQ(p.baudRate, 115200u);
    EXPECT_EQ(p.dataBits, 7);
    EXPECT_EQ(p.parity, 2);
    EXPECT_EQ(p.stopBits, 2);
    EXPECT_EQ(p.modbusTerminalCount, 255);
    EXPECT_EQ(p.channelAddress[3], 17);
    EXPECT_EQ(p.tempUpperLimit[3], 253);
    EXPECT_EQ(p.tempLowerLimit[3], -32768);
    EXPECT_EQ(p.humidityUpperLimit[3], 65535);
    EXPECT_EQ(p.humidityLowerLimit[3], 1);
    EXPECT_EQ(p.tempUpperLimit[0], -5);
}

// The page's conversion of a limit text goes through a double; every value
// a field accepts must still come out as its exact number of tenths.
TEST(Limits, EveryAcceptedTextGivesItsExactTenths)
{
    for (int32_t t = INT16_MIN; t <= UINT16_MAX; ++t) {
        char text[24];
        std::snprintf(text, sizeof text, "%s%d.%d", t < 0 ? "-" : "", std::abs(t) / 10, std::abs(t) % 10);
        DeviceParams p;
        Patch patch;
        if (t <= INT16_MAX) ASSERT_FALSE(patch.Set(Block::Device, "channel1.temp-upper", text)) << text;
        if (t >= 0) ASSERT_FALSE(patch.Set(Block::Device, "channel1.humidity-upper", text)) << text;
        patch.ApplyTo(p);
        if (t <= INT16_MAX) ASSERT_EQ(p.tempUpperLimit[0], t) << text;
        if (t >= 0) ASSERT_EQ(p.humidityUpperLimit[0], uint16_t(t)) << text;
    }
}

TEST(Json, BlocksNestByTheDottedNames)
{
    DeviceParams d;
    d.tempUpperLimit[3] = 253;
    d.humidityLowerLimit[7] = 65535;
    d.workMode = 9; // no name for it: the number stays
    d.parity = 1;
    const Json j = ToJson(d);
    EXPECT_EQ(j["channel4"]["temp-upper"].get<double>(), 25.3);
    EXPECT_EQ(j["channel4"]["temp-upper"].dump(), "25.3");
    EXPECT_EQ(j["channel8"]["humidity-lower"].dump(), "6553.5");
    EXPECT_EQ(j["work-mode"], 9);
    EXPECT_EQ(j["parity"], "odd");
    EXPECT_EQ(FieldText(d, "channel4.temp-upper"), "25.3");
}

TEST(Compare, NamesEveryDifferingFieldWithBothValues)
{
    NetworkParams a, b;
    b.ipAddress = 0x0A000001;
    b.servers[2].targetPort = 7;
    b.carriedBytes[0] = 1;
    const auto diffs = Compare(a, b);
    ASSERT_EQ(diffs.size(), 3u);
    EXPECT_EQ(diffs[0].field, "ip");
    EXPECT_EQ(diffs[0].expected, "0.0.0.0");
    EXPECT_EQ(diffs[0].actual, "10.0.0.1");
    EXPECT_EQ(diffs[1].field, "server3.target-port");
    EXPECT_EQ(diffs[2].field, "reserved-bytes");
    EXPECT_TRUE(Compare(DeviceParams{}, DeviceParams{}).empty());
}

TEST(File, ExportedBlocksReadBackIntoTheSameBlocks)
{
    NetworkParams n;
    n.ipMode = IP_MODE_STATIC;
    n.ipAddress = 0xC0A80064;
    n.maxConnections = 8;
    for (size_t k = 0; k < SERVER_COUNT; ++k)
        if (k != 4) StoreTargetAddress(n.servers[k].targetAddress, "192.168.0.166");
    StoreTargetAddress(n.servers[4].targetAddress, "\xB7\xFE\xCE\xF1\xC6\xF7"); // 服务器 in code page 936
    DeviceParams d;
    d.dataBits = 8;
    d.stopBits = 1;
    d.baudRate = 4800;
    d.tempLowerLimit[2] = -400;
    d.humidityUpperLimit[5] = 999;

    const std::string text = FileText(&n, &d, Json{{"mac", "02-00-00-00-00-01"}});
    EXPECT_NE(text.find("\"target-address\": \"服务器\""), std::string::npos);
    auto read = PatchFromFileText(text);
    ASSERT_TRUE(std::holds_alternative<Patch>(read)) << std::get<InputError>(read).message;
    NetworkParams n2;
    DeviceParams d2;
    std::get<Patch>(read).ApplyTo(n2);
    std::get<Patch>(read).ApplyTo(d2);
    EXPECT_EQ(n2, n);
    EXPECT_EQ(d2, d);
}

struct BadFile {
    const char* text;
    const char* says;
};

class BadFiles : public testing::TestWithParam<BadFile> {};

TEST_P(BadFiles, AreRefusedWithTheirPlace)
{
    const auto read = PatchFromFileText(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<InputError>(read));
    EXPECT_NE(std::get<InputError>(read).message.find(GetParam().says), std::string::npos)
        << std::get<InputError>(read).message;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, BadFiles,
    testing::Values(BadFile{"{\"format\": \"vornik-settings\", \"version\": 1, \"network\": {\"ip\": }", "line 1"},
                    BadFile{"[]", "one JSON object"},
                    BadFile{"{\"version\": 1}", "\"format\""},
                    BadFile{"{\"format\": \"vornik-settings\", \"version\": 2}", "\"version\": 1"},
                    BadFile{"{\"format\": \"vornik-settings\", \"version\": 1, \"net\": {}}", "unknown key 'net'"},
                    BadFile{"{\"format\": \"vornik-settings\", \"version\": 1, \"network\": {\"ipp\": \"1.2.3.4\"}}",
                            "unknown network field 'ipp'"},
                    BadFile{"{\"format\": \"vornik-settings\", \"version\": 1, \"device\": {\"channel4\": "
                            "{\"temp-upper\": 25.35}}}",
                            "device.channel4.temp-upper"},
                    BadFile{"{\"format\": \"vornik-settings\", \"version\": 1, \"device\": {\"baud\": true}}",
                            "expected a number or a text"},
                    // Too large for a double: refused, naming the field, never an abort.
                    BadFile{R"({"format": "vornik-settings", "version": 1, "device": {"baud": 1e400}})", "device.baud"},
                    BadFile{R"({"format": 1, "version": 1})", "\"format\""},
                    BadFile{R"({"format": "vornik-settings", "version": 1e300})", "\"version\": 1"},
                    // A key given twice: which one the user meant is not known.
                    BadFile{R"({"format": "vornik-settings", "version": 1, "device": {"baud": 9600, "baud": 4800}})",
                            "device.baud"},
                    BadFile{R"({"format": "vornik-settings", "version": 1, "device": {"channel1": {"address": 1},
                             "channel1": {"address": 2}}})",
                            "twice"}));

// The file is refused before it is read when it could not be a settings file.
TEST(File, AFileTooLargeOrNotRegularIsRefusedUnread)
{
    const std::string dir = testing::TempDir(), atLimit = dir + "settings-1MiB", overLimit = dir + "settings-1MiB+1";
    std::ofstream(atLimit) << std::string(1024 * 1024, ' ');
    std::ofstream(overLimit) << std::string(1024 * 1024 + 1, ' ');
    EXPECT_EQ(std::get<std::string>(ReadSettingsFileText(atLimit)).size(), 1024u * 1024u);
    std::vector<std::pair<std::string, std::string>> rows{{overLimit, "is larger than 1 MiB"},
                                                          {dir + "no-such-settings", "cannot be read"}};
#ifdef _WIN32
    // Windows opens no folder as a file: refused at the opening. It has no
    // /dev/zero (wine, which maps it, refuses it as not regular).
    rows.push_back({dir, "cannot be read"});
#else
    rows.push_back({"/dev/zero", "is not a regular file"});
    rows.push_back({dir, "is not a regular file"});
#endif
    for (const auto& [path, says] : rows) {
        const auto read = ReadSettingsFileText(path);
        ASSERT_TRUE(std::holds_alternative<InputError>(read)) << path;
        EXPECT_NE(std::get<InputError>(read).message.find(path + "' " + says), std::string::npos) << std::get<InputError>(read).message;
    }
    std::remove(atLimit.c_str());
    std::remove(overLimit.c_str());
}

TEST(File, APartOfAFileChangesOnlyItsFieldsAndTakesComments)
{
    const auto read = PatchFromFileText(R"({
        // only one server and one limit
        "format": "vornik-settings", "version": 1,
        "network": {"server3": {"target-address": "10.0.0.5"}},
        "device": {"channel4": {"temp-upper": 25}}
    })");
    ASSERT_TRUE(std::holds_alternative<Patch>(read)) << std::get<InputError>(read).message;
    const Patch& p = std::get<Patch>(read);
    EXPECT_EQ(p.Names(Block::Network), std::vector<std::string>{"server3.target-address"});
    EXPECT_EQ(p.Names(Block::Device), std::vector<std::string>{"channel4.temp-upper"});
    DeviceParams d;
    p.ApplyTo(d);
    EXPECT_EQ(d.tempUpperLimit[3], 250);
}

TEST(Mac, AcceptsThreeSpellingsAndRefusesTheRest)
{
    const MacAddress expected{0x02, 0x5A, 0xC3, 0x00, 0x00, 0x01};
    for (const char* text : {"02-5A-C3-00-00-01", "02:5a:c3:00:00:01", "025AC3000001"}) {
        MacAddress mac{};
        EXPECT_FALSE(ParseMac("MAC", text, mac)) << text;
        EXPECT_EQ(mac, expected) << text;
    }
    for (const char* text : {"02-5A-C3-00-00", "02-5A-C3-00-00-0G", "025AC30000011", "02 5A C3 00 00 01", ""}) {
        MacAddress mac{};
        const auto error = ParseMac("MAC", text, mac);
        ASSERT_TRUE(error) << text;
        EXPECT_NE(error->message.find("six hex pairs"), std::string::npos);
    }
}

} // namespace

// "导出参数..." without a window: which blocks a settings file holds and
// which device each is named after, when one page, both or neither came from
// a device, and the two pages from two devices.
#include "ops_fixture.h"
#include "vectors.h"

#include <chrono>

#include "ops/settings_files.h"
#include "proto/cp936.h"
#include "settings/fields.h"

namespace vornik::test {
namespace {

using Json = settings::Json;

struct Device {
    const char* macHex; // as the reply's bytes
    MacAddress mac;
    uint32_t ip;        // as the list shows it
};
const Device kA{"02 00 00 00 00 02", {0x02, 0, 0, 0, 0, 0x02}, 0xC0A80064}; // 192.168.0.100
const Device kB{"02 00 00 00 00 01", {0x02, 0, 0, 0, 0, 0x01}, 0xC0A80065}; // 192.168.0.101

// A network block as a device sends it: static 10.0.0.5, mask 255.0.0.0, gateway 10.0.0.1.
std::vector<uint8_t> NetworkReply(const char* macHex)
{
    std::vector<uint8_t> block(292, 0);
    const auto put = [&](size_t at, const char* hex) {
        const auto bytes = Hex(hex);
        std::copy(bytes.begin(), bytes.end(), block.begin() + long(at));
    };
    put(0, "80");
    put(1, "05 00 00 0A");
    put(5, "01 00 00 0A");
    put(9, "00 00 00 FF");
    put(19, "03");
    auto frame = Hex(std::string("55 01 2B 03 ") + macHex);
    frame.insert(frame.end(), block.begin(), block.end());
    frame.push_back(0);
    return frame;
}

// The start-up device block, read from device kB (its CRC is over kB's MAC).
const std::string kDeviceReadOfB =
    std::string("55 00 60 0B 02 00 00 00 00 01 7E 10 ") + kStartupBlock + " " + kStartupReadCrc + " 00";

struct ExportRig : OpsRig {
    void Choose(const Device& d)
    {
        main.ClearRows(IDC_DEVICE_LIST);
        main.InsertDeviceRow(IDC_DEVICE_LIST, 0, DeviceRow{d.ip, d.mac, 100, 0, 0, 0});
        main.SelectRow(IDC_DEVICE_LIST, 0);
        ops.OnDeviceListDoubleClick();
    }
};

TEST(SettingsExport, EachBlockIsNamedAfterTheDeviceItCameFrom)
{
    const struct {
        const char* name;
        std::function<void(ExportRig&)> read;
        bool network, device;     // the blocks the file holds
        const char* mac;          // source.mac; "" for none
        const char* networkFrom;  // source.network.mac; "" for none
        const char* networkIp;
        const char* deviceFrom;   // source.device.mac
        const char* deviceIp;
    } rows[] = {
        {"the network page only", [](ExportRig& r) { r.Choose(kA), r.Receive(NetworkReply(kA.macHex)); }, true, false,
         "02-00-00-00-00-02", "02-00-00-00-00-02", "192.168.0.100", "", ""},
        {"the device page only", [](ExportRig& r) { r.Choose(kB), r.Receive(Hex(kDeviceReadOfB)); }, false, true,
         "02-00-00-00-00-01", "", "", "02-00-00-00-00-01", "192.168.0.101"},
        {"both pages of one device",
         [](ExportRig& r) { r.Choose(kB), r.Receive(NetworkReply(kB.macHex)), r.Receive(Hex(kDeviceReadOfB)); }, true,
         true, "02-00-00-00-00-01", "02-00-00-00-00-01", "192.168.0.101", "02-00-00-00-00-01", "192.168.0.101"},
        // Which device "the" MAC would be is not to be guessed: each block names its own.
        {"the two pages of two devices",
         [](ExportRig& r) {
             r.Choose(kA), r.Receive(NetworkReply(kA.macHex));
             r.Choose(kB), r.Receive(Hex(kDeviceReadOfB));
         },
         true, true, "", "02-00-00-00-00-02", "192.168.0.100", "02-00-00-00-00-01", "192.168.0.101"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ExportRig rig;
        row.read(rig);
        ASSERT_EQ(rig.ops.NetworkSource().fromDevice, row.network);
        ASSERT_EQ(rig.ops.DeviceSource().fromDevice, row.device);
        const size_t sent = rig.link.frames.size();
        const SettingsExport exported = ExportSettingsText(rig.ops, std::chrono::system_clock::time_point{});
        ASSERT_FALSE(exported.refusal936.has_value()) << Utf8FromCp936(*exported.refusal936);
        EXPECT_EQ(rig.link.frames.size(), sent);
        const Json file = Json::parse(exported.text);
        EXPECT_EQ(file.contains("network"), row.network);
        EXPECT_EQ(file.contains("device"), row.device);
        const Json& source = file["source"];
        EXPECT_EQ(source.value("mac", ""), row.mac);
        EXPECT_EQ(source.contains("network"), row.network);
        EXPECT_EQ(source.contains("device"), row.device);
        if (row.network) {
            EXPECT_EQ(source["network"], (Json{{"mac", row.networkFrom}, {"ip", row.networkIp}}));
            EXPECT_EQ(file["network"].value("ip", ""), "10.0.0.5");
        }
        if (row.device) {
            EXPECT_EQ(source["device"], (Json{{"mac", row.deviceFrom}, {"ip", row.deviceIp}}));
        }
        EXPECT_EQ(source["exported"], "1970-01-01T00:00:00Z");
    }
}

// Neither page from a device: refused, nothing to write.
TEST(SettingsExport, NeitherPageFromADeviceIsRefused)
{
    ExportRig rig;
    const SettingsExport exported = ExportSettingsText(rig.ops, std::chrono::system_clock::time_point{});
    EXPECT_TRUE(exported.text.empty());
    ASSERT_TRUE(exported.refusal936.has_value());
    EXPECT_EQ(Utf8FromCp936(*exported.refusal936),
              "导出参数失败：两页的参数都不是从设备读取的；请先双击设备读取网络参数，并按“读取设备参数”。未写入文件。");
}

} // namespace
} // namespace vornik::test

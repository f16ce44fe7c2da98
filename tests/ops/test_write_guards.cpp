// What the window refuses to send and what it says afterwards: a write only
// with values of the chosen device (or of the operator's choosing), a MAC
// one device may have, the address fields as vornikctl checks them, the
// reset asked first and judged by what the device holds after it.
#include "ops_fixture.h"
#include "proto/cp936.h"
#include "vectors.h"

#include <functional>

namespace vornik::test {
namespace {

constexpr const char* kMac1 = "02 00 00 00 00 01";
constexpr const char* kMac2 = "02 00 00 00 00 02";
using std::chrono::seconds;

// Static 10.0.0.5 (or `ip`, low byte first), gateway 10.0.0.1, mask 255.0.0.0.
std::vector<uint8_t> NetworkReply(const char* mac, const char* ip = "05 00 00 0A")
{
    auto d = Hex(std::string("55 01 2B 03 ") + mac + " 80 " + ip + " 01 00 00 0A 00 00 00 FF");
    d.resize(10 + 292 + 1, 0);
    return d;
}
std::vector<uint8_t> DeviceReply(const char* mac)
{
    return Hex(std::string("55 00 60 0B ") + mac + " 7E 10 " + kStartupBlock + " " + kStartupReadCrc + " 00");
}
std::vector<uint8_t> SearchReply(const char* mac)
{
    return Hex(std::string("55 00 11 02 00 00 00 00 64 00 A8 C0 ") + mac + " 64 00 00");
}

struct Rig : OpsRig {
    Rig() { ops.SetClock([this] { return now; }); }
    void Choose(const char* mac)
    {
        DeviceRow row{0xC0A80064, {}, 100};
        std::copy_n(Hex(mac).begin(), MAC_SIZE, row.mac.begin());
        main.InsertDeviceRow(IDC_DEVICE_LIST, 0, row);
        main.SelectRow(IDC_DEVICE_LIST, 0);
        ops.OnDeviceListDoubleClick();
    }
    void After(seconds t)
    {
        for (seconds s{}; s < t; ++s) {
            now += seconds(1);
            ops.CheckAnswers();
        }
    }
    // Polled first, as the window's timer does: the next request of an operation goes then.
    void Hear(const std::vector<uint8_t>& d) { ops.CheckAnswers(), Receive(d); }
    bool Has(const std::string& line) const { return Info().find(Gbk(line)) != std::string::npos; }
    static std::string LastBox(const MemoryControls& page) { return page.Boxes().empty() ? "" : page.Boxes().back().text; }
    DeviceOps::Clock::time_point now{};
};

TEST(ChosenDevice, AWriteGoesOnlyWithValuesTheChosenDeviceGaveOrTheOperatorChose)
{
    const std::string chooseFirst = "还没有选中设备：请先点击\"搜索\"，再在设备列表中双击要操作的设备";
    const auto readDevice = [](Rig& t, const char* mac) { t.ops.OnReadDeviceParams(), t.Receive(DeviceReply(mac)); };
    const auto import = [](Rig& t) {
        settings::Patch patch;
        ASSERT_FALSE(patch.Set(settings::Block::Network, "server1.target-port", "4000"));
        ASSERT_FALSE(t.ops.ImportPatch(patch, "s.json"));
    };
    const struct {
        const char* name;
        std::function<void(Rig&)> steps;
        bool network;
        std::string box; // "": the write goes out
    } rows[] = {
        {"network, no device chosen", [](Rig&) {}, true, chooseFirst},
        {"device, no device chosen", [](Rig& t) { DeviceOpsProbe::OpenDeviceWrite(t.ops); }, false, chooseFirst},
        {"network, device 1 read, silent device 2 chosen",
         [](Rig& t) { t.Choose(kMac1), t.Receive(NetworkReply(kMac1)), t.Choose(kMac2); }, true,
         "页面上的网络参数不是从选中的设备 02-00-00-00-00-02 读取的：请先双击该设备读取它的网络参数，修改后再点击\"参数配置\""},
        {"device, device 1 read, device 2 chosen", [&](Rig& t) { t.Choose(kMac1), readDevice(t, kMac1), t.Choose(kMac2); },
         false, "页面上的设备参数不是从选中的设备 02-00-00-00-00-02 读取的：请先点击\"读取设备参数\"，修改后再配置"},
        {"network, device 2 read", [](Rig& t) { t.Choose(kMac1), t.Choose(kMac2), t.Receive(NetworkReply(kMac2)); }, true, ""},
        {"network, a file imported for device 2", [&](Rig& t) { t.Choose(kMac1), t.Choose(kMac2), import(t); }, true, ""},
        {"device, device 2 read", [&](Rig& t) { t.Choose(kMac1), readDevice(t, kMac1), t.Choose(kMac2), readDevice(t, kMac2); },
         false, ""},
    };
    for (const auto& row : rows) {
        Rig t;
        row.steps(t);
        const size_t sent = t.link.frames.size();
        row.network ? t.ops.OnWriteNetworkParams() : t.ops.OnWriteDeviceParams();
        EXPECT_EQ(t.link.frames.size() == sent, !row.box.empty()) << row.name;
        EXPECT_EQ(Rig::LastBox(row.network ? t.net : t.dev), row.box.empty() ? "" : Gbk(row.box)) << row.name;
    }
}

TEST(ChosenDevice, AMacWriteRefusesWhatVornikctlRefusesAndSaysWhetherTheNextSearchShowsIt)
{
    const std::pair<const char*, const char*> refused[] = {
        {"FF-FF-FF-FF-FF-FF", " 是广播地址，不能分配给设备"},
        {"00-00-00-00-00-00", " 全为0，不能分配给设备"},
        {"01-00-5E-00-00-01", " 是组播地址（第一个字节为奇数），不能分配给设备"},
    };
    for (const auto& [mac, why] : refused) {
        Rig t;
        t.Choose(kMac1);
        t.net.SetText(IDC_NET_MAC, mac);
        t.ops.OnWriteMac();
        EXPECT_EQ(t.link.frames.size(), 1u) << mac; // the double-click's read alone
        EXPECT_EQ(Rig::LastBox(t.net), Gbk(std::string("新MAC地址 ") + mac + why));
    }
    const struct {
        std::vector<std::vector<uint8_t>> heard; // after the write, the search under way
        std::string line;
        const char* target;
    } outcomes[] = {
        {{SearchReply("02 00 00 00 00 09")}, "MAC地址写入成功：已找到新MAC地址 02-00-00-00-00-09 的设备", "02 00 00 00 00 09"},
        {{Hex("55 00 07 0F 02 00 00 00 00 09 00"), SearchReply(kMac1)},
         "没有找到新MAC地址 02-00-00-00-00-09 的设备：设备应答了写入，但新地址未生效", kMac1},
        {{}, "没有找到新MAC地址 02-00-00-00-00-09 的设备：设备没有应答，MAC地址未写入", kMac1},
    };
    for (const auto& row : outcomes) {
        Rig t;
        t.Choose(kMac1);
        t.Receive(NetworkReply(kMac1));
        t.net.SetText(IDC_NET_MAC, "02-00-00-00-00-09");
        t.ops.OnWriteMac();
        t.ops.SearchDevices();
        for (const auto& d : row.heard) t.Receive(d);
        t.After(seconds(3));
        EXPECT_TRUE(t.Has(row.line)) << Utf8FromCp936(t.Info());
        // Writes go again once the search said it, to the MAC the device answers with, which the label names.
        t.ops.OnWriteNetworkParams();
        const Frame write = t.SentWrite();
        ASSERT_GE(write.size(), 10u);
        EXPECT_EQ(ToHex(std::span(write).subspan(4, 6)), row.target);
        EXPECT_NE(t.net.GetText(IDC_NET_SOURCE).find(FormatMacText(t.state.TargetMac)), std::string::npos);
    }
}

// The refusals as vornikctl's net set refuses the same values; on DHCP the static fields wait unused.
TEST(ChosenDevice, AddressFieldsVornikctlRefusesAreRefusedNamingTheField)
{
    const struct {
        int control;
        const char* text;
        const char* box; // "": written
    } rows[] = {
        {IDC_NET_SUBNET_MASK, "255.0.255.0", "子网掩码：“255.0.255.0”无效：掩码中的1必须连续，如255.255.255.0"},
        {IDC_NET_SUBNET_MASK, "0.0.0.0", "子网掩码：“0.0.0.0”无效：掩码为0时设备无法经网关访问其他网段"},
        {IDC_NET_SUBNET_MASK, "255.255.255.252", "网关地址：“10.0.0.1”不在静态IP和子网掩码所定的子网内"},
        {IDC_NET_IP_ADDRESS, "10.0.0.0", "静态IP：“10.0.0.0”是所在子网的网络地址，不能作为设备地址"},
        {IDC_NET_IP_ADDRESS, "10.255.255.255", "静态IP：“10.255.255.255”是所在子网的广播地址，不能作为设备地址"},
        {IDC_NET_IP_ADDRESS, "10.0.0.6", ""},
    };
    for (const bool dhcp : {false, true})
        for (const auto& row : rows) {
            Rig t;
            t.Choose(kMac1);
            t.Receive(NetworkReply(kMac1));
            t.net.SetText(row.control, row.text);
            if (dhcp) t.net.SetSel(IDC_NET_IP_MODE, 1);
            t.ops.OnWriteNetworkParams();
            const std::string box = dhcp ? "" : row.box;
            EXPECT_EQ(t.link.frames.size() == 1, !box.empty()) << row.text << dhcp;
            EXPECT_EQ(Rig::LastBox(t.net), box.empty() ? "" : Gbk(box)) << row.text << dhcp;
        }
}

TEST(ChosenDevice, TheResetIsAskedFirstAndSaidAsVornikctlsDefaultsSaysIt)
{
    const struct {
        bool ok;
        std::vector<std::vector<uint8_t>> after; // the reset gone out
        std::string line;
    } rows[] = {
        {false, {}, ""},
        {true, {NetworkReply(kMac1, "09 00 A8 C0"), DeviceReply(kMac1)}, "恢复出厂设置成功：读回的参数已改变"},
        {true, {Hex("55 00 07 06 02 00 00 00 00 01 00"), NetworkReply(kMac1), DeviceReply(kMac1)},
         "设备应答了恢复出厂设置，但读回的参数没有改变（也许本来就是出厂值），未能确认"},
    };
    for (const auto& row : rows) {
        Rig t;
        t.Choose(kMac1);
        t.net.okAnswer = row.ok;
        t.ops.OnFactoryDefaults();
        EXPECT_EQ(Rig::LastBox(t.net),
                  Gbk("恢复出厂设置将清除设备 02-00-00-00-00-01 的全部网络参数和设备参数，无法撤销。确定继续吗？"));
        t.Hear(NetworkReply(kMac1));
        t.Hear(DeviceReply(kMac1));
        // After the reads before it; nothing when cancelled.
        EXPECT_EQ(std::count_if(t.link.frames.begin(), t.link.frames.end(), [](const Frame& f) { return f[3] == 0x06; }),
                  row.ok ? 1 : 0);
        for (const auto& d : row.after) t.Hear(d);
        EXPECT_TRUE(t.Has(row.line)) << Utf8FromCp936(t.Info());
    }
}

TEST(ChosenDevice, AReadBackAfterTheWriteWasSaidUnconfirmedConfirmsItLateWhenItHoldsTheWrite)
{
    for (const bool held : {true, false}) {
        Rig t;
        t.Choose(kMac1);
        t.Receive(NetworkReply(kMac1));
        t.net.SetText(IDC_NET_IP_ADDRESS, "10.0.0.6");
        t.ops.OnWriteNetworkParams();
        t.After(seconds(3));
        ASSERT_TRUE(t.Has("未能确认写入"));
        t.Receive(NetworkReply(kMac1, held ? "06 00 00 0A" : "07 00 00 0A"));
        EXPECT_EQ(t.Has("迟到的读回与写入的参数一致：写入已确认\r\n"), held);
        EXPECT_EQ(t.Has("读取网络参数成功！"), !held);
    }
}

TEST(ChosenDevice, HistoryOperationsAreShownInTheOperatorsWords)
{
    const std::pair<const char*, const char*> rows[] = {
        {"write-network", "写网络参数"}, {"write-mac", "写MAC"}, {"mac set", "写MAC"}, {"frobnicate", "frobnicate"}};
    for (const auto& [name, words] : rows)
        EXPECT_EQ(OperationName936(name), Gbk(words)) << name;
}

} // namespace
} // namespace vornik::test

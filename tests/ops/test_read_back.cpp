// Every write is read back at once and settled by one line: confirmed, the
// fields that differ by their labels (written → read), or no read-back. A
// device that acknowledges and keeps nothing must not pass for one that stored.
#include "ops_fixture.h"
#include "vectors.h"
#include "ops/page_checks.h"

namespace vornik::test {
namespace {

const MacAddress kChosen{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const char* const kChosenHex = "02 00 00 00 00 01";

// The device page's start-up values as a read reply of kChosen (and of another device).
std::vector<uint8_t> StartupDeviceReply(const char* mac = kChosenHex)
{
    return Hex(std::string("55 00 60 0B ") + mac + " 7E 10 " + kStartupBlock + " " + kStartupReadCrc + " 00");
}
const std::vector<uint8_t> kWriteAck = Hex("55 00 04 0B 02 00 00 00 00 01 7E 11 E0 1C 00");

using Replies = std::vector<std::vector<uint8_t>>;

class ReadBack : public OpsTest {
public:
    ReadBack()
    {
        ops.SetClock([this] { return now; });
        state.TargetMac = kChosen;
        ops.m_deviceParamsRead = true;
    }
    // What a device that stores exactly what came sends back for the last
    // network write: the same block under a read reply's header.
    std::vector<uint8_t> NetworkEcho(size_t changeAt = 0, uint8_t to = 0)
    {
        std::vector<uint8_t> reply = SentWrite();
        reply[0] = 0x55;
        reply[3] = 0x03;
        if (changeAt) reply[changeAt] = to;
        return reply;
    }

protected:
    DeviceOps::Clock::time_point now{};
};

TEST_F(ReadBack, EachWriteIsSettledByOneLine)
{
    const std::string kWriting = Gbk("设置参数... \r\n");
    const struct {
        const char* name;
        bool network;
        std::vector<std::pair<int, const char*>> typed; // on the page written
        std::function<Replies(ReadBack&)> replies;
        std::string lines;       // after the replies, past the write's own line
        std::string laterLines;  // three seconds on
    } rows[] = {
        {"device: acknowledges, keeps nothing", false, {{IDC_DEV_BAUD_RATE, "9600"}},
         [](ReadBack&) { return Replies{kWriteAck, StartupDeviceReply()}; },
         Gbk("下载设备参数成功！\r\n读回与写入不同：设备 02-00-00-00-00-01 的 485口波特率 9600 → 4800\r\n"), ""},
        {"device: two fields kept back, a negative tenth among them", false,
         {{IDC_DEV_BAUD_RATE, "9600"}, {LimitEditIds[0].tempLower, "-0.5"}},
         [](ReadBack&) { return Replies{StartupDeviceReply()}; },
         Gbk("读回与写入不同：设备 02-00-00-00-00-01 的 485口波特率 9600 → 4800，1号通道 温度下限 -0.5 → 0.0\r\n"), ""},
        {"device: silent", false, {}, [](ReadBack&) { return Replies{}; }, "",
         Gbk("未能确认写入：设备 02-00-00-00-00-01 在3秒内没有读回设备参数\r\n")},
        {"device: only another device answers", false, {},
         [](ReadBack&) { return Replies{StartupDeviceReply("02 00 00 00 00 09")}; },
         Gbk("已忽略设备 02-00-00-00-00-09 的回复：不是双击选中的设备\r\n"),
         Gbk("未能确认写入：设备 02-00-00-00-00-01 在3秒内没有读回设备参数\r\n")},
        {"device: no acknowledgement, stored", false, {},
         [](ReadBack&) { return Replies{StartupDeviceReply()}; },
         Gbk("读回确认：设备 02-00-00-00-00-01 的设备参数已写入\r\n"), ""},
        // Server 1's target port is bytes 32 and 33 of the write (2000 = D0 07); 5678 is 2E 16.
        {"network: the target port kept back", true, {},
         [](ReadBack& t) {
             auto echo = t.NetworkEcho(32, 0x2E);
             echo[33] = 0x16;
             return Replies{echo};
         },
         Gbk("读回与写入不同：设备 02-00-00-00-00-01 的 服务器1 目标端口 2000 → 5678\r\n"), ""},
        {"network: silent", true, {}, [](ReadBack&) { return Replies{}; }, "",
         Gbk("未能确认写入：设备 02-00-00-00-00-01 在3秒内没有读回网络参数\r\n")},
        {"network: stored, no acknowledgement", true, {}, [](ReadBack& t) { return Replies{t.NetworkEcho()}; },
         Gbk("读回确认：设备 02-00-00-00-00-01 的网络参数已写入\r\n"), ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ops.SetStartupValues();
        for (const auto& [id, text] : row.typed) (row.network ? net : dev).SetText(id, text);
        link.frames.clear();
        row.network ? ops.OnWriteNetworkParams() : ops.OnWriteDeviceParams();
        ASSERT_EQ(link.frames.size(), 2u);
        // The read follows the write at once: no acknowledgement is waited for.
        EXPECT_EQ(ToHex(link.frames[1]), row.network ? "AA 00 07 03 02 00 00 00 00 01 06"
                                                     : "AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98");
        for (const auto& reply : row.replies(*this)) Receive(reply);
        EXPECT_EQ(Info(), kWriting + row.lines);
        now += std::chrono::seconds(3);
        ops.CheckAnswers();
        EXPECT_EQ(Info(), kWriting + row.lines + row.laterLines);
        // The page keeps what was written, whatever came back.
        for (const auto& [id, text] : row.typed) EXPECT_EQ((row.network ? net : dev).GetText(id), text);
    }
}

TEST_F(ReadBack, EveryFieldThatCanDifferHasItsLabel)
{
    // Labels as the pages show them, for the fields a line can name.
    const struct {
        settings::Block block;
        const char* field;
        const char* label;
    } rows[] = {
        {settings::Block::Network, "server8.local-port", "服务器8 本地端口"},
        {settings::Block::Network, "mode", "IP获取方式"},
        {settings::Block::Network, "reserved-bytes", "未显示的保留字节"},
        {settings::Block::Network, "server3.target-address-bytes", "服务器3 目标地址（字节）"},
        {settings::Block::Device, "parity", "485口校验位"},
        {settings::Block::Device, "channel8.humidity-lower", "8号通道 湿度下限"},
        {settings::Block::Device, "terminal-address", "终端地址"},
    };
    for (const auto& row : rows) EXPECT_EQ(FieldLabel936(row.block, row.field), Gbk(row.label)) << row.field;
    for (const settings::FieldInfo& f : settings::Fields())
        EXPECT_NE(FieldLabel936(f.block, f.name), f.name) << f.name << " has no label";
}

} // namespace
} // namespace vornik::test

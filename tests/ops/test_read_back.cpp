// A write is settled by its read-back, not by the acknowledgement (silence: test_answers.cpp).
#include "ops/drop_downs.h"
#include "ops/page_checks.h"
#include "ops_fixture.h"
#include "vectors.h"

namespace vornik::test {
namespace {

TEST_F(OpsTest, ADeviceWriteIsSettledByItsReadBack)
{
    const std::string ack = "55 00 04 0B 02 00 00 00 00 01 7E 11 E0 1C 00";
    const std::string stored = std::string("55 00 60 0B 02 00 00 00 00 01 7E 10 ") + kStartupBlock + " " +
                               kStartupReadCrc + " 00"; // the start-up values
    // Differences in the entries' words: the file's "odd" is "ODD" on the page.
    const struct {
        const char *name, *baud;
        int parity, workMode;
        int tempControl;
        const char *temp, *line;
    } rows[] = {
        {"typed fields, a written -0.5", "9600", 0, 0, LimitEditIds[0].tempLower, "-0.5",
         "读回与写入不同：设备 02-00-00-00-00-01 的 485口波特率 9600 → 4800，1号通道 温度下限 -0.5 → 0.0\r\n"},
        {"all stored", "4800", 0, 0, LimitEditIds[0].tempLower, "0", "读回确认：设备 02-00-00-00-00-01 的设备参数已写入\r\n"},
        {"drop-downs by their entries", "4800", 1, 2, LimitEditIds[0].tempLower, "0",
         "读回与写入不同：设备 02-00-00-00-00-01 的 工作模式 0-5V温湿度变送器 → 温湿度探头，485口校验位 ODD → NONE\r\n"},
        {"an upper limit of -0.5 stored as 99.9", "4800", 0, 0, LimitEditIds[7].tempUpper, "-0.5",
         "读回与写入不同：设备 02-00-00-00-00-01 的 8号通道 温度上限 -0.5 → 99.9\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ops.SetStartupValues();
        dev.SetText(IDC_DEV_BAUD_RATE, row.baud);
        dev.SetSel(IDC_DEV_PARITY, row.parity);
        dev.SetSel(IDC_DEV_WORK_MODE, row.workMode);
        dev.SetText(row.tempControl, row.temp);
        state.TargetMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
        DeviceOpsProbe::OpenDeviceWrite(ops);
        link.frames.clear();
        ops.OnWriteDeviceParams();
        // A block that comes back otherwise is written again, three rounds in all, before the line.
        const bool differs = std::string(row.line).rfind("读回与写入不同", 0) == 0;
        std::string acks;
        for (int round = 1; round <= (differs ? 3 : 1); ++round) {
            EXPECT_EQ(LastFrame(), "AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98") << round; // read at once, unacknowledged
            Receive(Hex(ack));
            Receive(Hex(stored));
            acks += "下载设备参数成功！\r\n";
        }
        EXPECT_EQ(std::count_if(link.frames.begin(), link.frames.end(), [](const Frame& f) { return f.size() > 15; }),
                  differs ? 3 : 1);
        EXPECT_EQ(Info(), Gbk("设置参数... \r\n" + acks) + Gbk(row.line));
        EXPECT_EQ(dev.GetText(IDC_DEV_BAUD_RATE), row.baud); // the page keeps what was written
    }
    for (const settings::FieldInfo& f : settings::Fields()) EXPECT_NE(FieldLabel936(f.block, f.name), f.name);
}

// The ends of the lists, whose entry 0 is not always value 0, and values no entry shows.
TEST(ReadBackValues, ADropDownValueIsWordedAsItsEntryReads)
{
    using settings::Block;
    const struct { const char* name; Block block; const char *field, *value, *shown; } rows[] = {
        {"mode dhcp", Block::Network, "mode", "dhcp", "DHCP/autoIP"},
        {"data bits, last entry", Block::Device, "data-bits", "9", "9"},
        {"stop bits, first entry", Block::Device, "stop-bits", "1", "1"},
        {"stop bits 0, no entry", Block::Device, "stop-bits", "0", "0"},
        {"parity even", Block::Device, "parity", "even", "EVEN"},
        {"parity byte 3, no entry", Block::Device, "parity", "3", "3"},
        {"work mode, last entry", Block::Device, "work-mode", "4-20mA", "4-20mA温湿度变送器"},
        {"work mode 6, no entry", Block::Device, "work-mode", "6", "6"},
    };
    for (const auto& row : rows) EXPECT_EQ(ShownValue(row.block, row.field, row.value), row.shown) << row.name;
}

} // namespace
} // namespace vornik::test

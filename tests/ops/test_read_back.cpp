// A write is settled by its read-back, not by the acknowledgement (silence: test_answers.cpp).
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
    const struct {
        const char *baud, *tempLower, *line;
    } rows[] = {{"9600", "-0.5", "读回与写入不同：设备 02-00-00-00-00-01 的 485口波特率 9600 → 4800，1号通道 温度下限 -0.5 → 0.0\r\n"},
                {"4800", "0", "读回确认：设备 02-00-00-00-00-01 的设备参数已写入\r\n"}};
    for (const auto& row : rows) {
        ops.SetStartupValues();
        dev.SetText(IDC_DEV_BAUD_RATE, row.baud);
        dev.SetText(LimitEditIds[0].tempLower, row.tempLower);
        state.TargetMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
        ops.m_deviceParamsRead = true;
        ops.OnWriteDeviceParams();
        EXPECT_EQ(LastFrame(), "AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98"); // read at once, unacknowledged
        Receive(Hex(ack));
        Receive(Hex(stored));
        EXPECT_EQ(Info(), Gbk("设置参数... \r\n下载设备参数成功！\r\n") + Gbk(row.line));
        EXPECT_EQ(dev.GetText(IDC_DEV_BAUD_RATE), row.baud); // the page keeps what was written
    }
    for (const settings::FieldInfo& f : settings::Fields()) EXPECT_NE(FieldLabel936(f.block, f.name), f.name);
}

} // namespace
} // namespace vornik::test

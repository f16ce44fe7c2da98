// A write is read back at once and settled by one line: a device that
// acknowledges and keeps nothing must not pass for one that stored. (Silence
// is in test_answers.cpp.)
#include "ops/page_checks.h"
#include "ops_fixture.h"
#include "vectors.h"

namespace vornik::test {
namespace {

TEST_F(OpsTest, ADeviceWriteIsSettledByItsReadBack)
{
    const auto startup = Hex(std::string("55 00 60 0B 02 00 00 00 00 01 7E 10 ") + kStartupBlock + " " +
                             kStartupReadCrc + " 00");
    const struct {
        const char* name;
        std::vector<std::vector<uint8_t>> replies;
        const char* lines;
    } rows[] = {
        {"acknowledges, keeps nothing", {Hex("55 00 04 0B 02 00 00 00 00 01 7E 11 E0 1C 00"), startup},
         "设置参数... \r\n下载设备参数成功！\r\n读回与写入不同：设备 02-00-00-00-00-01 的 485口波特率 9600 → 4800，"
         "1号通道 温度下限 -0.5 → 0.0\r\n"},
        {"no acknowledgement, stored", {startup}, "设置参数... \r\n读回确认：设备 02-00-00-00-00-01 的设备参数已写入\r\n"},
    };
    for (const auto& row : rows) {
        ops.SetStartupValues();
        if (row.replies.size() > 1) {
            dev.SetText(IDC_DEV_BAUD_RATE, "9600");
            dev.SetText(LimitEditIds[0].tempLower, "-0.5");
        }
        state.TargetMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
        ops.m_deviceParamsRead = true;
        ops.OnWriteDeviceParams();
        // The read follows the write at once: no acknowledgement is waited for.
        EXPECT_EQ(LastFrame(), "AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98") << row.name;
        for (const auto& reply : row.replies) Receive(reply);
        EXPECT_EQ(Info(), Gbk(row.lines)) << row.name;
    }
    for (const settings::FieldInfo& f : settings::Fields()) EXPECT_NE(FieldLabel936(f.block, f.name), f.name);
}

} // namespace
} // namespace vornik::test

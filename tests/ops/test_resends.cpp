// The window's writes are confirmed as vornikctl confirms them: a read that
// goes unanswered is sent again each second, a block that comes back
// otherwise is written again, and whatever happens inside a send (a box with
// an event loop of its own) finds the write already awaiting its read-back.
#include "ops_fixture.h"
#include "vectors.h"

namespace vornik::test {
namespace {

const MacAddress kChosen{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const char* const kChosenHex = "02 00 00 00 00 01";

const std::string kWriting = Gbk("设置参数... \r\n");
const std::string kConfirmed = Gbk("读回确认：设备 02-00-00-00-00-01 的网络参数已写入\r\n");
const std::string kNoReadBack = Gbk("未能确认写入：设备 02-00-00-00-00-01 在3秒内没有读回网络参数\r\n");
const std::string kPlainRead = Gbk("读取网络参数成功！\r\n");

bool IsCommand(const Frame& f, uint8_t command) { return f.size() > 3 && f[0] == 0xAA && f[3] == command; }

class Resends : public OpsTest {
protected:
    Resends()
    {
        ops.SetClock([this] { return now; });
        state.TargetMac = kChosen;
        DeviceOpsProbe::OpenDeviceWrite(ops);
    }
    void At(int ms)
    {
        now = DeviceOps::Clock::time_point{} + std::chrono::milliseconds(ms);
        ops.CheckAnswers();
    }
    size_t Count(uint8_t command) const
    {
        return size_t(std::count_if(link.frames.begin(), link.frames.end(), [&](const Frame& f) { return IsCommand(f, command); }));
    }
    // A network reply of the chosen device holding `block` (292 bytes).
    static std::vector<uint8_t> Reply(const std::vector<uint8_t>& block)
    {
        auto d = Hex(std::string("55 01 2B 03 ") + kChosenHex);
        d.insert(d.end(), block.begin(), block.end());
        d.push_back(0);
        return d;
    }
    // The block the last network write carried: what a device that stored it sends back.
    std::vector<uint8_t> Stored() const
    {
        const auto w = std::find_if(link.frames.rbegin(), link.frames.rend(),
                                    [](const Frame& f) { return IsCommand(f, CMD_WRITE_NETWORK); });
        if (w == link.frames.rend() || w->size() < 10 + 292) return std::vector<uint8_t>(292, 0);
        return {w->begin() + 10, w->begin() + 10 + 292};
    }
    // What the device held before: the page's address changed by the write.
    std::vector<uint8_t> Old() const
    {
        auto b = Stored();
        b[1] ^= 0x01;
        return b;
    }

    DeviceOps::Clock::time_point now{};
};

TEST_F(Resends, ANetworkWriteIsConfirmedDespiteOneLostDatagram)
{
    // Each step: a time in ms, then what the device sends at it ('s' the
    // stored block, 'o' the old one, '-' nothing).
    struct Step {
        int ms;
        char reply;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
        size_t writes, reads;
        std::string lines; // after "设置参数..."
    } rows[] = {
        {"read-back at once", {{100, 's'}, {5000, '-'}}, 1, 1, kConfirmed},
        {"the read-back lost, its second send answered", {{999, '-'}, {1000, '-'}, {1100, 's'}, {5000, '-'}}, 1, 2,
         kConfirmed},
        {"the write lost: the old block back, written again", {{100, 'o'}, {200, 's'}, {5000, '-'}}, 2, 2, kConfirmed},
        {"both sends of the read answered: one line", {{1000, '-'}, {1100, 's'}, {1200, 's'}, {5000, '-'}}, 1, 2,
         kConfirmed},
        {"silent: three reads, then the line",
         {{999, '-'}, {1000, '-'}, {2000, '-'}, {2999, '-'}, {3000, '-'}, {9000, '-'}}, 1, 3, kNoReadBack},
        {"never stores: three rounds, then the differences",
         {{100, 'o'}, {200, 'o'}, {300, 'o'}, {5000, '-'}}, 3, 3,
         Gbk("读回与写入不同：设备 02-00-00-00-00-01 的 静态IP 192.168.0.9 → 192.168.0.8\r\n")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ops.SetStartupValues();
        DeviceOpsProbe::OpenDeviceWrite(ops);
        link.frames.clear();
        At(0);
        ops.OnWriteNetworkParams();
        for (const Step& step : row.steps) {
            At(step.ms);
            if (step.reply == 's') Receive(Reply(Stored()));
            if (step.reply == 'o') Receive(Reply(Old()));
        }
        EXPECT_EQ(Count(CMD_WRITE_NETWORK), row.writes);
        EXPECT_EQ(Count(CMD_READ_NETWORK), row.reads);
        EXPECT_EQ(Info(), kWriting + row.lines);
    }
}

TEST_F(Resends, AReadIsSentAgainAndItsEchoIsNoSecondAnswer)
{
    main.InsertDeviceRow(IDC_DEVICE_LIST, 0, DeviceRow{0xC0A80064, kChosen, 100, 0, 0, 0});
    main.SelectRow(IDC_DEVICE_LIST, 0);
    At(0);
    ops.OnDeviceListDoubleClick();
    At(1000);
    At(2000);
    EXPECT_EQ(Count(CMD_READ_NETWORK), 3u);
    Receive(Reply(std::vector<uint8_t>(292, 0)));
    Receive(Reply(std::vector<uint8_t>(292, 0))); // the answer to an earlier send
    At(2500);
    EXPECT_EQ(Count(CMD_READ_NETWORK), 3u); // answered: nothing more goes
    EXPECT_EQ(Info(), Gbk("读取参数...\r\n") + kPlainRead);
    // Once the answer time is over, a reply is a reply again.
    At(4000);
    Receive(Reply(std::vector<uint8_t>(292, 0)));
    EXPECT_EQ(Info(), Gbk("读取参数...\r\n") + kPlainRead + kPlainRead);
}

TEST_F(Resends, AReplyHandledInsideASendIsTheReadBackOfTheWrite)
{
    // The link's box for an adapter that failed runs an event loop while the
    // request is being sent; the device's read-back, heard through the
    // adapter that worked, is handled inside it.
    link.during = [this](const Frame& f) {
        if (!IsCommand(f, CMD_READ_NETWORK)) return;
        link.during = nullptr;
        Receive(Reply(Stored()));
    };
    main.SetText(IDC_INFO, "");
    ops.OnWriteNetworkParams();
    EXPECT_EQ(Info(), kWriting + kConfirmed);
    // Settled: three seconds later no silence is said.
    At(4000);
    EXPECT_EQ(Info(), kWriting + kConfirmed);
}

} // namespace
} // namespace vornik::test

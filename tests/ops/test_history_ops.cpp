// What the window keeps in the settings history: every read and write of the
// chosen device with its blocks as they came off the wire, the block a write
// replaces before the write leaves, and nothing that a history failure holds up.
#include "ops_fixture.h"
#include "vectors.h"

#include <functional>

namespace vornik::test {
namespace {

const MacAddress kChosen{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const MacAddress kOther{0x02, 0x00, 0x00, 0x00, 0x00, 0x02};
constexpr uint32_t kRowIp = 0xC0A80064; // 192.168.0.100, as the list shows it

struct MemoryHistory : history::Sink {
    const RecordingLink* link = nullptr;
    std::vector<history::Event> events;
    std::vector<size_t> sentBefore;         // frames on the wire when each event was kept
    std::optional<std::string> failure;     // every record fails with it while set
    std::optional<history::Event> known;    // what the history knew before this run
    std::optional<std::string> Keep(std::span<const history::Event> kept) override
    {
        if (failure) return failure;
        for (const history::Event& event : kept) {
            events.push_back(event);
            sentBefore.push_back(link->frames.size());
        }
        return std::nullopt;
    }
    std::optional<history::Event> LastKnown(const MacAddress& mac) override
    {
        return known && known->mac == mac ? known : std::nullopt;
    }
};

// A network block as a device sends it: static 10.0.0.5, and bytes 13..18,
// which no field shows, set to 01..06.
std::vector<uint8_t> NetworkBlock(uint8_t lastIpByte = 5)
{
    std::vector<uint8_t> block(292, 0);
    const auto put = [&](size_t at, const char* hex) {
        const auto bytes = Hex(hex);
        std::copy(bytes.begin(), bytes.end(), block.begin() + long(at));
    };
    put(0, "80");
    put(1, "05 00 00 0A");
    block[1] = lastIpByte;
    put(5, "01 00 00 0A");
    put(9, "00 00 00 FF");
    put(13, "01 02 03 04 05 06");
    put(19, "03");
    return block;
}

std::vector<uint8_t> NetworkReply(const char* mac, const std::vector<uint8_t>& block)
{
    auto frame = Hex(std::string("55 01 2B 03 ") + mac);
    frame.insert(frame.end(), block.begin(), block.end());
    frame.push_back(0);
    return frame;
}

const std::string kDeviceRead = std::string("55 00 60 0B 02 00 00 00 00 01 7E 10 ") + kStartupBlock + " " +
                                kStartupReadCrc + " 00";

template <size_t N> std::vector<uint8_t> Bytes(const std::array<uint8_t, N>& a) { return {a.begin(), a.end()}; }

// A rig for each table row, its history kept in memory.
struct HistoryOps : OpsRig {
    HistoryOps()
    {
        sink.link = &link;
        ops.SetHistory(&sink);
    }
    void Choose()
    {
        main.ClearRows(IDC_DEVICE_LIST);
        main.InsertDeviceRow(IDC_DEVICE_LIST, 0, DeviceRow{kRowIp, kChosen, 100, 0, 0, 0});
        main.SelectRow(IDC_DEVICE_LIST, 0);
        ops.OnDeviceListDoubleClick();
    }
    void ReadNetwork(const std::vector<uint8_t>& block = NetworkBlock())
    {
        Choose();
        Receive(NetworkReply("02 00 00 00 00 01", block));
    }
    // One line per event: stage, operation and which blocks it holds.
    std::vector<std::string> Kept() const
    {
        std::vector<std::string> lines;
        for (const history::Event& e : sink.events)
            lines.push_back(std::string(e.stage == history::Stage::Read     ? "read "
                                        : e.stage == history::Stage::Before ? "before "
                                                                            : "after ") +
                            e.operation + (e.network ? " N" : "") + (e.device ? " D" : ""));
        return lines;
    }

    MemoryHistory sink;
};

TEST(HistoryOps, EachReadAndWriteKeepsTheBlocksAsTheyCameAndNothingOfOtherDevices)
{
    const std::vector<uint8_t> read = NetworkBlock(5), stored = NetworkBlock(6);
    const struct {
        const char* name;
        std::function<void(HistoryOps&)> steps;
        std::vector<std::string> kept;
    } rows[] = {
        {"a network read", [&](HistoryOps& t) { t.ReadNetwork(read); }, {"read read N"}},
        {"a late reply of another device",
         [&](HistoryOps& t) {
             t.Choose();
             t.Receive(NetworkReply("02 00 00 00 00 02", read));
         },
         {}},
        {"a network write confirmed by its read-back",
         [&](HistoryOps& t) {
             t.ReadNetwork(read);
             t.net.SetText(IDC_NET_IP_ADDRESS, "10.0.0.6");
             t.ops.OnWriteNetworkParams();
             t.Receive(NetworkReply("02 00 00 00 00 01", stored));
         },
         {"read read N", "before write-network N", "after write-network N"}},
        {"a write the device never reads back", [&](HistoryOps& t) {
             t.ReadNetwork(read);
             t.ops.OnWriteNetworkParams();
         },
         {"read read N", "before write-network N"}},
        {"a refused value sends and keeps nothing",
         [&](HistoryOps& t) {
             t.ReadNetwork(read);
             t.net.SetText(SERVER_CONTROL_IDS[0].targetPort, "65536");
             t.ops.OnWriteNetworkParams();
         },
         {"read read N"}},
        {"a device read and write",
         [&](HistoryOps& t) {
             t.Choose();
             t.ops.OnReadDeviceParams();
             t.Receive(Hex(kDeviceRead));
             t.ops.OnWriteDeviceParams();
             t.Receive(Hex(kDeviceRead));
         },
         {"read read D", "before write-device D", "after write-device D"}},
        {"factory defaults keep both blocks",
         [&](HistoryOps& t) {
             t.ReadNetwork(read);
             t.ops.OnReadDeviceParams();
             t.Receive(Hex(kDeviceRead));
             t.ops.OnFactoryDefaults();
             // The reset reads both blocks first, one after the other: the blocks before it are those.
             t.Receive(NetworkReply("02 00 00 00 00 01", read));
             t.ops.CheckAnswers();
             t.Receive(Hex(kDeviceRead));
         },
         {"read read N", "read read D", "before factory-defaults N D"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HistoryOps t;
        row.steps(t);
        EXPECT_EQ(t.Kept(), row.kept);
        for (size_t i = 0; i < t.sink.events.size(); ++i) {
            const history::Event& e = t.sink.events[i];
            EXPECT_EQ(e.program, "Vornik_Setup");
            EXPECT_EQ(e.mac, kChosen);
            EXPECT_EQ(e.ip, kRowIp);
            if (e.device) EXPECT_EQ(Bytes(*e.device), Hex(kStartupBlock));
            if (!e.network) continue;
            // Every byte as the device sent it: the write's read-back is the stored block, the rest the read one.
            EXPECT_EQ(Bytes(*e.network), e.stage == history::Stage::After ? stored : read) << i;
        }
        // A write's block before is kept before the write leaves, and a read-back after it came.
        for (size_t i = 0; i < t.sink.events.size(); ++i)
            if (t.sink.events[i].stage == history::Stage::Before)
                EXPECT_EQ(t.sink.sentBefore[i], t.link.frames.size() - 2);
    }
}

TEST(HistoryOps, AWriteToADeviceNotReadInThisRunKeepsWhatTheHistoryLastKnew)
{
    // The device page was read from another device; the operator then chose this one and wrote.
    const struct {
        const char* name;
        bool known;
        std::vector<std::string> kept;
    } rows[] = {
        {"known to the history", true, {"read read D", "before write-device D"}},
        {"never seen before", false, {"read read D"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HistoryOps t;
        t.state.TargetMac = kChosen;
        t.ops.OnReadDeviceParams();
        t.Receive(Hex(kDeviceRead));
        t.state.TargetMac = kOther;
        // As after a file: values the operator chose for this device.
        DeviceOpsProbe::OpenDeviceWrite(t.ops);
        history::DeviceBlock block{};
        block.fill(0x5A);
        if (row.known) t.sink.known = history::Event{0, 0, kOther, 0, "vornikctl", "read", history::Stage::Read, {}, block};
        t.ops.OnWriteDeviceParams();
        EXPECT_EQ(t.Kept(), row.kept);
        if (row.known) {
            EXPECT_EQ(t.sink.events.back().mac, kOther);
            EXPECT_EQ(*t.sink.events.back().device, block); // not the other device's block read in this run
        }
        EXPECT_EQ(t.link.frames.size(), 3u); // the read, the write and its read-back either way
    }
}

// The device's history follows it to its new MAC: the write is kept under
// both, with the blocks last read (a MAC write changes no byte of them).
TEST(HistoryOps, AMacWriteIsKeptUnderTheOldMacAndOnceASearchShowsItUnderTheNewOne)
{
    const MacAddress kNew{0x02, 0x00, 0x00, 0x00, 0x00, 0x09};
    for (const bool found : {true, false}) {
        HistoryOps t;
        t.ReadNetwork();
        t.Receive(Hex(kDeviceRead));
        t.net.SetText(IDC_NET_MAC, "02-00-00-00-00-09");
        t.ops.OnWriteMac();
        t.ops.SearchDevices();
        t.Receive(Hex(std::string("55 00 11 02 00 00 00 00 65 00 A8 C0 ") + (found ? "02 00 00 00 00 09" : "02 00 00 00 00 01") +
                      " 64 00 00"));
        std::vector<std::string> kept{"read read N", "read read D", "before write-mac N D"};
        if (found) kept.push_back("after write-mac N D");
        ASSERT_EQ(t.Kept(), kept) << found;
        EXPECT_EQ(t.sink.events[2].mac, kChosen);
        if (!found) continue;
        const history::Event& after = t.sink.events[3];
        EXPECT_EQ(after.mac, kNew);
        EXPECT_EQ(after.ip, 0xC0A80065u); // as the search reply gives it
        EXPECT_EQ(Bytes(*after.network), NetworkBlock());
        EXPECT_EQ(Bytes(*after.device), Hex(kStartupBlock));
    }
}

TEST(HistoryOps, AHistoryThatCannotBeWrittenIsSaidOnceAndHoldsNothingUp)
{
    HistoryOps t;
    auto [sink, link, ops] = std::tie(t.sink, t.link, t.ops);
    sink.failure = "history /x/history.sqlite: database is locked";
    const std::string line = Gbk("未能写入历史记录，配置照常进行：history /x/history.sqlite: database is locked\r\n");
    t.ReadNetwork();
    EXPECT_EQ(t.Info(), Gbk("读取参数...\r\n读取网络参数成功！\r\n") + line);
    // The write's own output says it once, though neither its block before nor its read-back was kept.
    ops.OnWriteNetworkParams();
    t.Receive(NetworkReply("02 00 00 00 00 01", NetworkBlock()));
    EXPECT_EQ(link.frames.size(), 3u); // the read, the write and its read-back
    const std::string info = t.Info();
    EXPECT_NE(info.find(Gbk("读回确认")), std::string::npos) << info;
    ASSERT_NE(info.find(line), std::string::npos) << info;
    EXPECT_EQ(info.find(line, info.find(line) + 1), std::string::npos) << info;

    // A history that takes events again says nothing.
    sink.failure.reset();
    ops.OnWriteNetworkParams();
    t.Receive(NetworkReply("02 00 00 00 00 01", NetworkBlock()));
    EXPECT_EQ(t.Info().find(Gbk("未能写入历史记录")), std::string::npos);
    EXPECT_EQ(t.Kept().size(), 2u);
}

// After a read that said it, each write and the reset say it again in their
// own first lines: the blocks they replace were not kept either.
TEST(HistoryOps, EachOperationAfterAFailedReadSaysTheFailureInItsOwnLines)
{
    const std::string line = Gbk("未能写入历史记录，配置照常进行：history /x: disk I/O error\r\n");
    const struct {
        const char* name;
        std::function<void(HistoryOps&)> run;
    } rows[] = {
        {"network write", [](HistoryOps& t) { t.ops.OnWriteNetworkParams(); }},
        {"device write", [](HistoryOps& t) { t.ops.OnWriteDeviceParams(); }},
        {"factory defaults",
         [](HistoryOps& t) {
             t.ops.OnFactoryDefaults();
             t.Receive(NetworkReply("02 00 00 00 00 01", NetworkBlock()));
             t.ops.CheckAnswers();
             t.Receive(Hex(kDeviceRead));
         }},
    };
    for (const auto& row : rows) {
        HistoryOps t;
        t.sink.failure = "history /x: disk I/O error";
        t.ReadNetwork();
        t.Receive(Hex(kDeviceRead));
        ASSERT_NE(t.Info().find(line), std::string::npos) << row.name;
        const size_t sent = t.link.frames.size();
        row.run(t);
        ASSERT_GT(t.link.frames.size(), sent) << row.name;
        // Before any reply: the operation's opening lines, then the failure.
        const std::string info = t.Info();
        EXPECT_GE(info.size(), line.size()) << row.name;
        EXPECT_EQ(info.substr(info.size() - std::min(info.size(), line.size())), line) << row.name << ": " << info;
    }
}

TEST(HistoryOps, AnEarlierStateFillsThePagesSendsNothingAndAWriteSendsItsEveryByte)
{
    HistoryOps t;
    auto [net, dev, link, ops] = std::tie(t.net, t.dev, t.link, t.ops);
    t.Choose();
    const size_t sent = link.frames.size();
    std::vector<uint8_t> earlier = NetworkBlock(9);
    earlier[13] = 0xA0; // bytes no field shows, as recorded
    earlier[18] = 0xA5;
    NetworkParamsImage image;
    std::copy(earlier.begin(), earlier.end(), image.begin());
    DeviceParams device{};
    device.baudRate = 9600;
    device.dataBits = 8;
    device.stopBits = 1;
    device.tempUpperLimit[7] = -5; // -0.5
    ops.ShowRecordedState(image, device, "2026-12-08T07:01:02.123Z");

    EXPECT_EQ(link.frames.size(), sent);
    EXPECT_EQ(net.GetText(IDC_NET_IP_ADDRESS), "10.0.0.9");
    EXPECT_EQ(net.GetText(IDC_NET_SOURCE), Gbk("来自历史记录\n2026-12-08T07:01:02.123Z"));
    EXPECT_EQ(dev.GetText(IDC_DEV_BAUD_RATE), "9600");
    EXPECT_EQ(dev.GetText(LimitEditIds[7].tempUpper), "-0.5");
    EXPECT_TRUE(ops.DeviceParamsRead()); // a whole block, as a read gives

    ops.OnWriteNetworkParams();
    const Frame write = t.SentWrite();
    ASSERT_GE(write.size(), 10u + 292u);
    EXPECT_EQ(std::vector<uint8_t>(write.begin() + 10, write.begin() + 10 + 292), earlier);
}

} // namespace
} // namespace vornik::test

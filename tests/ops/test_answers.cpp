// Every silence is said: a read or a device write whose device does not
// answer, and a search that finds nothing, get one line once their time is up.
#include "ops_fixture.h"
#include "vectors.h"

namespace vornik::test {
namespace {

const MacAddress kChosen{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

class Answers : public OpsTest {
protected:
    Answers() { ops.SetClock([this] { return now; }); }
    // The list holds the chosen device alone, selected for a double-click.
    void ListOnlyTheChosen()
    {
        main.ClearRows(IDC_DEVICE_LIST);
        main.InsertDeviceRow(IDC_DEVICE_LIST, 0, DeviceRow{0xC0A80064, kChosen, 100, 0, 0, 0});
        main.SelectRow(IDC_DEVICE_LIST, 0);
    }
    void After(std::chrono::milliseconds t)
    {
        now += t;
        ops.CheckAnswers();
    }
    std::string Lines() const { return Info(); }

    DeviceOps::Clock::time_point now{};
};

std::vector<uint8_t> SearchReplyOf(const char* mac)
{
    return Hex(std::string("55 00 11 02 00 00 00 00 64 00 A8 C0 ") + mac + " 64 00 00");
}

std::vector<uint8_t> NetworkReplyOf(const char* mac)
{
    auto d = Hex(std::string("55 01 2B 03 ") + mac);
    d.resize(10 + 292 + 1, 0);
    return d;
}

std::vector<uint8_t> DeviceReplyOf(const char* mac, const std::string& inner, const char* length)
{
    return Hex(std::string("55 ") + length + " 0B " + mac + " " + inner + " 00");
}

const std::string kReadReply = std::string("7E 10 ") + kStartupBlock + " " + kStartupReadCrc;
const std::string kWriteAck = "7E 11 E0 1C";
const std::string kSilent = Gbk("设备 02-00-00-00-00-01 在3秒内没有应答\r\n");
const std::string kNoDeviceReadBack = Gbk("未能确认写入：设备 02-00-00-00-00-01 在3秒内没有读回设备参数\r\n");
const std::string kNothingFound = Gbk("3秒内没有搜索到设备\r\n");

TEST_F(Answers, EverySilenceIsSaidOnceWhenItsTimeIsUp)
{
    const struct {
        const char* name;
        std::function<void(DeviceOps&)> request;
        std::vector<uint8_t> reply; // empty: none comes
        std::string line;          // what the info area gains after three seconds
    } rows[] = {
        {"search, nothing found", [](DeviceOps& o) { o.SearchDevices(); }, {}, kNothingFound},
        {"search, one found", [](DeviceOps& o) { o.SearchDevices(); }, SearchReplyOf("02 00 00 00 00 07"), ""},
        {"read, silent", [](DeviceOps& o) { o.OnDeviceListDoubleClick(); }, {}, kSilent},
        {"read, answered", [](DeviceOps& o) { o.OnDeviceListDoubleClick(); }, NetworkReplyOf("02 00 00 00 00 01"), ""},
        // Another device's late reply is no answer of the chosen one.
        {"read, only another device", [](DeviceOps& o) { o.OnDeviceListDoubleClick(); },
         NetworkReplyOf("02 00 00 00 00 09"), kSilent},
        {"device read, silent", [](DeviceOps& o) { o.OnReadDeviceParams(); }, {}, kSilent},
        {"device read, answered", [](DeviceOps& o) { o.OnReadDeviceParams(); },
         DeviceReplyOf("02 00 00 00 00 01", kReadReply, "00 60"), ""},
        {"device read, bad CRC", [](DeviceOps& o) { o.OnReadDeviceParams(); },
         DeviceReplyOf("02 00 00 00 00 01", kReadReply.substr(0, kReadReply.size() - 2) + "00", "00 60"), kSilent},
        // A write is settled by its read-back, not by the acknowledgement.
        {"device write, no acknowledgement", [](DeviceOps& o) { o.OnWriteDeviceParams(); }, {}, kNoDeviceReadBack},
        {"device write, acknowledged, no read-back", [](DeviceOps& o) { o.OnWriteDeviceParams(); },
         DeviceReplyOf("02 00 00 00 00 01", kWriteAck, "00 04"), kNoDeviceReadBack},
        {"device write, read back", [](DeviceOps& o) { o.OnWriteDeviceParams(); },
         DeviceReplyOf("02 00 00 00 00 01", kReadReply, "00 60"), ""},
    };
    for (const auto& row : rows) {
        ListOnlyTheChosen();
        state.TargetMac = kChosen;
        DeviceOpsProbe::OpenDeviceWrite(ops);
        row.request(ops);
        if (!row.reply.empty()) Receive(row.reply);
        const std::string before = Lines();
        After(std::chrono::milliseconds(2999));
        EXPECT_EQ(Lines(), before) << row.name << ": said too early";
        After(std::chrono::milliseconds(1));
        EXPECT_EQ(Lines(), before + row.line) << row.name;
        After(std::chrono::seconds(10));
        EXPECT_EQ(Lines(), before + row.line) << row.name << ": said twice";
    }
}

} // namespace
} // namespace vornik::test

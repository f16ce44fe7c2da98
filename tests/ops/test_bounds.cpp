// The window's bounds under replies that never stop: the device list takes
// so many rows and then says once that it is full, counting the rest; the
// info log takes so many bytes and then says once that it is full. Below
// the bounds every reply keeps its row and its line. The limits are set low
// here; the lines are those a Chinese operator reads in the info area.
#include "ops_fixture.h"

#include "ops/info_area.h"
#include "ops/search_listing.h"

namespace vornik::test {
namespace {

std::vector<uint8_t> SearchReplyFrom(int device)
{
    // IP 192.168.0.<device>, MAC 00-00-00-00-00-<device>, firmware 1.
    char bytes[96];
    std::snprintf(bytes, sizeof bytes, "55 00 11 02 00 00 00 00 %02X 00 A8 C0 00 00 00 00 00 %02X 01 00 00", device,
                  device);
    return Hex(bytes);
}

const char* const kFound = "搜索到设备\r\n";
const char* const kListFull = "设备列表已满，此后的搜索回复不再列出，未列出的回复数见右键菜单\r\n";
const char* const kInfoFull = "提示信息已达上限，此后的信息不再显示，下次操作时清空\r\n";

struct ListCase {
    const char* name;
    int replies;
    int rows;          // listed, the limit being 3
    bool saysFull;     // the one line
    uint64_t omitted;  // counted for the menu
};

const ListCase kListCases[] = {
    {"BelowTheLimitEveryReplyHasItsRowAndLine", 2, 2, false, 0},
    {"ExactlyTheLimitSaysNothingOfAFullList", 3, 3, false, 0},
    {"OnePastTheLimitSaysItOnce", 4, 3, true, 1},
    {"FarPastTheLimitStillOneLine", 20, 3, true, 17},
};

class ListLimit : public OpsTest, public testing::WithParamInterface<ListCase> {};

TEST_P(ListLimit, RowsLinesAndTheCountOfRepliesNotListed)
{
    const ListCase& c = GetParam();
    DeviceOpsProbe::LimitList(ops, 3);
    for (int round = 0; round < 2; ++round) { // a new search lists anew
        SCOPED_TRACE(round);
        ops.SearchDevices();
        for (int i = 1; i <= c.replies; ++i) Receive(SearchReplyFrom(i));
        ASSERT_EQ(main.RowCount(IDC_DEVICE_LIST), c.rows);
        // The rows kept are the first replies, the last of them on top.
        EXPECT_EQ(main.GetCell(IDC_DEVICE_LIST, 0, COL_DEVICE_IP), "192.168.0." + std::to_string(c.rows));
        std::string log = "搜索...\r\n";
        for (int i = 0; i < c.rows; ++i) log += kFound;
        if (c.saysFull) log += kListFull;
        EXPECT_EQ(Info(), Gbk(log));
        EXPECT_EQ(ops.RepliesNotListed(), c.omitted);
    }
}

INSTANTIATE_TEST_SUITE_P(Search, ListLimit, testing::ValuesIn(kListCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ListLimitBound, IsThePacketRecordsAndHoldsAHundredThousandReplySearch)
{
    EXPECT_EQ(SearchListing::LIMIT, DEFAULT_CAPTURE_LIMIT);
    EXPECT_GE(SearchListing::LIMIT, 100000u);
    // A line per reply of a full list fits the info log's bound.
    EXPECT_GT(InfoArea::LIMIT, SearchListing::LIMIT * Gbk(kFound).size() + Gbk(kListFull).size());
}

// The info log against a limit of 40 bytes, lines of 12 ("搜索到设备\r\n").
struct LogCase {
    const char* name;
    int lines;
    int kept;
    bool saysFull;
};

const LogCase kLogCases[] = {
    {"BelowTheBoundEveryLineIsKept", 2, 2, false},
    {"ALineThatFillsItExactlyIsKept", 3, 3, false}, // 36 bytes, the next would make 48
    {"TheFirstLineThatDoesNotFitSaysItOnce", 4, 3, true},
    {"ManyMoreAreDroppedWithoutAnotherLine", 50, 3, true},
};

class LogBound : public testing::TestWithParam<LogCase> {};

TEST_P(LogBound, KeepsWhatFitsAndSaysItOnce)
{
    const LogCase& c = GetParam();
    std::string log;
    MemoryControls main;
    InfoArea area(log, main, 40);
    for (int round = 0; round < 2; ++round) { // a new operation starts the log anew
        SCOPED_TRACE(round);
        area.Restart();
        for (int i = 0; i < c.lines; ++i) area.Add(Gbk(kFound));
        area.Refresh();
        std::string expected;
        for (int i = 0; i < c.kept; ++i) expected += Gbk(kFound);
        if (c.saysFull) expected += Gbk(kInfoFull);
        EXPECT_EQ(log, expected);
        EXPECT_EQ(main.GetText(IDC_INFO), expected);
        EXPECT_EQ(area.Full(), c.saysFull);
    }
}

INSTANTIATE_TEST_SUITE_P(Info, LogBound, testing::ValuesIn(kLogCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LogBoundStart, AMacLineIsBoundedAndAStartedLogTakesLinesAgain)
{
    std::string log;
    MemoryControls main;
    InfoArea area(log, main, 40);
    area.Add(Gbk(kFound));
    // 5 + 17 + 18 bytes: with the 12 before, past the bound.
    area.AddMacLine(Gbk("设备 "), MacAddress{0, 0, 0, 0, 0, 1}, Gbk(" 在3秒内没有应答\r\n"));
    area.AddMacLine(Gbk("设备 "), MacAddress{0, 0, 0, 0, 0, 2}, Gbk(" 在3秒内没有应答\r\n"));
    EXPECT_EQ(log, Gbk(std::string(kFound) + kInfoFull));
    area.Start(Gbk("搜索...\r\n"));
    EXPECT_FALSE(area.Full());
    area.Add(Gbk(kFound));
    EXPECT_EQ(log, Gbk("搜索...\r\n搜索到设备\r\n"));
}

} // namespace
} // namespace vornik::test

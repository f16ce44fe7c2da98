// The window and vornikctl share one settings history: a change made in the
// window is listed by vornikctl history and undone by vornikctl restore; the
// list's "历史记录..." fills the pages from an earlier state and sends nothing;
// a history that cannot be written never stops a write.
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>
#include <unistd.h>

#include "app/history_dlg.h"
#include "sim_window_fixture.h"
#include "ops/control_ids.h"
#include "pages/report_list.h"

namespace vornik::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

class HistoryWindowTest : public SimWindowTest {
protected:
    HistoryWindowTest() : SimWindowTest("history-window") { m_historyPath = (m_dir / "history.sqlite").string(); }

    // The first device's block as vornikctl reads it.
    Json ReadDevice()
    {
        const RunResult read = Vornikctl({"--json", "dev", "get", "02-00-00-00-00-01"});
        EXPECT_EQ(read.exitCode, 0) << read.err;
        const Json doc = Json::parse(read.out, nullptr, false);
        return doc.is_discarded() ? Json() : doc["devices"][0]["device"];
    }

    // Changes the baud rate and channel 8's upper limit, writes, waits for the read-back's line.
    void WriteDevicePage(const char* baud, const char* upper)
    {
        Dev().SetText(IDC_DEV_BAUD_RATE, baud);
        Dev().SetText(LimitEditIds[7].tempUpper, upper);
        Dev<QPushButton>(IDC_DEV_WRITE)->click();
        ASSERT_TRUE(WaitFor([&] { return Main().GetText(IDC_INFO).find(Cp936("读回")) != std::string::npos; }));
        Settle();
    }
};

TEST_F(HistoryWindowTest, AWindowWriteIsListedByVornikctlAndRestoreUndoesIt)
{
    ReadFirstDevice();
    WriteDevicePage("9600", "-0.5");
    ASSERT_NE(Main().GetText(IDC_INFO).find(Cp936("读回确认")), std::string::npos) << Main().GetText(IDC_INFO);

    const RunResult listed = Vornikctl({"--json", "history", "02-00-00-00-00-01"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const Json events = Json::parse(listed.out)["events"];
    std::vector<std::string> kept;
    for (const Json& e : events)
        kept.push_back(e["program"].get<std::string>() + " " + e["operation"].get<std::string>() + " " +
                       e["stage"].get<std::string>());
    EXPECT_EQ(kept, (std::vector<std::string>{"Vornik_Setup read read", "Vornik_Setup read read",
                                               "Vornik_Setup write-device before", "Vornik_Setup write-device after"}));
    ASSERT_EQ(events.size(), 4u);
    // Where the device's replies came from, the block before the write included.
    for (const Json& e : events) EXPECT_EQ(e["ip"], events[0]["ip"]);
    EXPECT_TRUE(events[0]["ip"].is_string());
    // What the write changed, in the settings file's words and values.
    Json changed = Json::object();
    for (const Json& c : events[3]["changes"]) changed[c["field"].get<std::string>()] = {c["old"], c["new"]};
    EXPECT_EQ(changed["baud"], Json::array({4800, 9600}));
    EXPECT_EQ(changed["channel8.temp-upper"], Json::array({99.9, -0.5}));
    EXPECT_EQ(changed.size(), 2u);

    const RunResult restored = Vornikctl({"restore", "02-00-00-00-00-01", "--before-last-write"});
    ASSERT_EQ(restored.exitCode, 0) << restored.out << restored.err;
    const Json device = ReadDevice();
    EXPECT_EQ(device["baud"], 4800);
    EXPECT_EQ(device["channel8"]["temp-upper"], 99.9);
}

TEST_F(HistoryWindowTest, TheListsHistoryFillsThePagesFromAnEarlierStateAndSendsNothing)
{
    ReadFirstDevice();
    WriteDevicePage("9600", "-0.5");

    QMenu* menu = Window().DeviceListMenu(m_row);
    ASSERT_FALSE(menu->actions().isEmpty());
    EXPECT_EQ(menu->actions().front()->text(), QStringLiteral(u"历史记录..."));
    EXPECT_TRUE(menu->actions().front()->isEnabled());
    EXPECT_FALSE(Window().DeviceListMenu(-1)->actions().front()->isEnabled()); // no row, no device

    auto opened = m_root->History().Open();
    ASSERT_TRUE(std::holds_alternative<history::Store*>(opened));
    CHistoryDlg dialog(&Window(), MacAddress{0x02, 0, 0, 0, 0, 0x01}, *std::get<history::Store*>(opened), Window().Ops());
    ASSERT_FALSE(dialog.Failure());
    ASSERT_EQ(dialog.List().topLevelItemCount(), 4);
    // Newest first: the read-back, whose changes are worded as the page shows them.
    EXPECT_EQ(dialog.List().topLevelItem(0)->text(3), QStringLiteral(u"写入后读回"));
    EXPECT_EQ(dialog.List().topLevelItem(0)->text(5), QStringLiteral(u"485口波特率 4800 → 9600，8号通道 温度上限 99.9 → -0.5"));

    const size_t sent = m_capture.Size();
    dialog.List().setCurrentItem(dialog.List().topLevelItem(1)); // the block as read before the write
    ASSERT_TRUE(dialog.FillButton().isEnabled());
    dialog.FillButton().click();
    Settle();
    EXPECT_EQ(Dev().GetText(IDC_DEV_BAUD_RATE), "4800");
    EXPECT_EQ(Dev().GetText(LimitEditIds[7].tempUpper), "99.9");
    EXPECT_EQ(Net().GetText(IDC_NET_IP_ADDRESS), "10.9.0.7");
    EXPECT_EQ(Dev().GetText(IDC_DEV_SOURCE).rfind(Cp936("来自历史记录\n"), 0), 0u);
    QTest::qWait(50);
    EXPECT_EQ(m_capture.Size(), sent); // nothing went on the wire

    // Written only when the operator writes: the device holds the earlier values again.
    WriteDevicePage("4800", "99.9");
    const Json device = ReadDevice();
    EXPECT_EQ(device["baud"], 4800);
    EXPECT_EQ(device["channel8"]["temp-upper"], 99.9);
}

// A device with a long history: the dialog opens on the newest page and
// reads older pages as asked; every entry's changes are against the entry
// before it, across the pages' edges too. Each event raises the heartbeat by one.
struct LongHistory {
    const char* name;
    size_t events;
    std::vector<size_t> rowsAfterEachPage; // at open, then after each LoadMore
};

class LongHistoryTest : public WindowTest, public testing::WithParamInterface<LongHistory> {
protected:
    LongHistoryTest()
    {
        fs::create_directories(m_dir);
        m_historyPath = (m_dir / "history.sqlite").string();
        auto opened = history::Store::Open(m_historyPath);
        std::vector<history::Event> events;
        for (size_t i = 0; i < GetParam().events; ++i) {
            history::Event e;
            e.timeMs = 1767225600000 + int64_t(i) * 1000;
            e.mac = kMac;
            e.program = "vornikctl";
            e.operation = "read";
            e.network.emplace(EncodeNetworkParams(NetworkParams{}));
            DeviceParams p;
            p.heartbeatInterval = uint16_t(30 + i);
            e.device = EncodeDeviceBlock(p);
            events.push_back(std::move(e));
        }
        if (!events.empty()) std::get<history::Store>(opened).RecordAll(events);
    }
    ~LongHistoryTest() override { fs::remove_all(m_dir); }

    const MacAddress kMac{0x02, 0, 0, 0, 0, 0x01};
    const fs::path m_dir = fs::path(testing::TempDir()) / ("vornik-long-history-" + std::to_string(getpid()));
};

TEST_P(LongHistoryTest, OpensOnTheNewestAndPagesOnDemand)
{
    const LongHistory& c = GetParam();
    auto opened = m_root->History().Open();
    ASSERT_TRUE(std::holds_alternative<history::Store*>(opened));
    CHistoryDlg dialog(&Window(), kMac, *std::get<history::Store*>(opened), Window().Ops());
    ASSERT_FALSE(dialog.Failure());
    for (size_t page = 0; page < c.rowsAfterEachPage.size(); ++page) {
        if (page > 0) EXPECT_TRUE(dialog.LoadMore());
        ASSERT_EQ(size_t(dialog.List().topLevelItemCount()), c.rowsAfterEachPage[page]) << page;
    }
    EXPECT_FALSE(dialog.LoadMore()) << "nothing older is left";
    for (int row = 0; row < dialog.List().topLevelItemCount(); ++row) {
        const size_t event = c.events - 1 - size_t(row); // newest first
        const QString changes = dialog.List().topLevelItem(row)->text(5);
        if (event == 0)
            EXPECT_EQ(changes, QStringLiteral(u"—"));
        else
            EXPECT_TRUE(changes.endsWith(QStringLiteral(" %1 → %2").arg(29 + event).arg(30 + event)))
                << row << ": " << changes.toStdString();
    }
    if (c.events == 0) return;
    // An entry of the last page read fills the pages with that entry's blocks.
    const int row = dialog.List().topLevelItemCount() - 1;
    ASSERT_TRUE(dialog.FillFromRow(row));
    Settle();
    EXPECT_EQ(Dev().GetText(IDC_DEV_HEARTBEAT_INTERVAL), std::to_string(30 + c.events - 1 - size_t(row)));
}

INSTANTIATE_TEST_SUITE_P(
    History, LongHistoryTest,
    testing::Values(LongHistory{"NoEventsNoRows", 0, {0}}, LongHistory{"LessThanAPageAllAtOnce", 150, {150}},
                    LongHistory{"ExactlyAPageThenNothingMore", CHistoryDlg::PAGE, {CHistoryDlg::PAGE}},
                    LongHistory{"ThreePagesTheLastPartly", 450, {200, 400, 450}}),
    [](const testing::TestParamInfo<LongHistory>& info) { return std::string(info.param.name); });

// A history file spoilt before the window starts.
struct Spoilt {
    const char* name;
    void (*spoil)(const fs::path& file);
};

class SpoiltHistoryTest : public HistoryWindowTest, public testing::WithParamInterface<Spoilt> {
protected:
    SpoiltHistoryTest()
    {
        fs::create_directories(m_dir / "spoilt");
        const fs::path file = m_dir / "spoilt" / "history.sqlite";
        GetParam().spoil(file);
        m_historyPath = file.string();
    }
};

TEST_P(SpoiltHistoryTest, IsOneLineAndTheWriteGoesOn)
{
    ReadFirstDevice();
    WriteDevicePage("9600", "12.5");
    const std::string info = Main().GetText(IDC_INFO);
    EXPECT_NE(info.find(Cp936("读回确认")), std::string::npos) << info;
    const std::string line = Cp936("未能写入历史记录，配置照常进行：");
    ASSERT_NE(info.find(line), std::string::npos) << info;
    EXPECT_EQ(info.find(line, info.find(line) + 1), std::string::npos) << "said twice: " << info;

    ModalWatcher watcher;
    Window().ShowHistory(m_row);
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_TRUE(watcher.Dialogs().front().text.startsWith(QStringLiteral(u"无法读取历史记录：")));
}

INSTANTIATE_TEST_SUITE_P(
    History, SpoiltHistoryTest,
    testing::Values(Spoilt{"NotADatabase",
                           [](const fs::path& p) { std::ofstream(p) << "these are not the pages of a database\n"; }},
                    Spoilt{"FolderIsAFile",
                           [](const fs::path& p) {
                               fs::remove_all(p.parent_path());
                               std::ofstream(p.parent_path()) << "x";
                           }}),
    [](const testing::TestParamInfo<Spoilt>& info) { return std::string(info.param.name); });

} // namespace
} // namespace vornik::test

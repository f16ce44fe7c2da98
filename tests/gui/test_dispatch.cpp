// Datagrams handed over from the receive thread, the search and the device
// list, on a loopback link with no device behind it.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QMessageBox>
#include <QPushButton>
#include "pages/report_list.h"

#include "gui_fixture.h"
#include "ops/control_ids.h"
#include "ops/search_listing.h"

namespace vornik::test {
namespace {

using DispatchTest = WindowTest;

// A search reply: marker, length, command 0x02, four unread bytes, then the
// address (last number first), MAC and firmware version, little-endian.
std::vector<uint8_t> SearchReply(std::array<uint8_t, 4> ipLastFirst, std::array<uint8_t, 6> mac,
                                 std::array<uint8_t, 2> version)
{
    std::vector<uint8_t> d = {0x55, 0x00, 0x11, 0x02, 0, 0, 0, 0};
    d.insert(d.end(), ipLastFirst.begin(), ipLastFirst.end());
    d.insert(d.end(), mac.begin(), mac.end());
    d.insert(d.end(), version.begin(), version.end());
    d.push_back(0);
    return d;
}

std::vector<std::string> Row(QtControlOps& main, int row)
{
    std::vector<std::string> cells;
    for (int c = 0; c < 4; ++c) cells.push_back(main.GetCell(IDC_DEVICE_LIST, row, c));
    return cells;
}

TEST_F(DispatchTest, SearchReplyListsTheDevice)
{
    Deliver(SearchReply({0xA6, 0x00, 0xA8, 0xC0}, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, {0x64, 0x00}));
    ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() == 1; }));
    EXPECT_EQ(Row(Main(), 0), (std::vector<std::string>{"192.168.0.166", "", "001A2B3C4D5E", "100"}));
}

TEST_F(DispatchTest, TwoRepliesGiveTwoRowsTheLaterOnTop)
{
    ModalWatcher watcher;
    Main<QPushButton>(IDC_SEARCH)->click();
    Deliver(SearchReply({1, 0, 0, 10}, {0x02, 0, 0, 0, 0, 0x0A}, {0xFF, 0xFF}));
    Deliver(SearchReply({2, 0, 0, 10}, {0x02, 0, 0, 0, 0, 0x0B}, {0x01, 0x00}));
    ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() == 2; }));
    EXPECT_EQ(Row(Main(), 0), (std::vector<std::string>{"10.0.0.2", "", "02000000000B", "1"}));
    EXPECT_EQ(Row(Main(), 1), (std::vector<std::string>{"10.0.0.1", "", "02000000000A", "65535"}));
    Settle();
    EXPECT_EQ(Main().GetText(IDC_INFO), Cp936("搜索...\r\n搜索到设备\r\n搜索到设备\r\n"));
    EXPECT_TRUE(watcher.Dialogs().empty()) << watcher.Dialogs()[0].text.toStdString();
}

TEST_F(DispatchTest, ASecondSearchClearsTheList)
{
    Deliver(SearchReply({1, 0, 0, 10}, {2, 0, 0, 0, 0, 1}, {1, 0}));
    ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() == 1; }));
    Main<QPushButton>(IDC_SEARCH)->click();
    EXPECT_EQ(Window().DeviceList().RowCount(), 0);
    Settle();
    EXPECT_EQ(Main().GetText(IDC_INFO), Cp936("搜索...\r\n"));
}

TEST_F(DispatchTest, EmptyDeviceReplyIsDroppedWithoutRefreshAndOtherCommandsOnlyRefresh)
{
    const std::string shown = Main().GetText(IDC_INFO);
    State().InfoLog = "changed behind the area\r\n";

    Deliver({0x55, 0x00, 0x00, 0x0A});
    Deliver({0x55, 0x00, 0x00, 0x0B});
    Settle();
    EXPECT_EQ(Main().GetText(IDC_INFO), shown);

    Deliver({0x55, 0x00, 0x00, 0x07});
    Settle();
    EXPECT_EQ(Main().GetText(IDC_INFO), "changed behind the area\r\n");
    EXPECT_EQ(Window().DeviceList().RowCount(), 0);
}

TEST_F(DispatchTest, ABurstKeepsTheOrderOfRowsAndLogLines)
{
    Main<QPushButton>(IDC_SEARCH)->click();
    Settle();
    constexpr int kReplies = 3000;
    for (int i = 0; i < kReplies; ++i)
        Deliver(SearchReply({uint8_t(i), uint8_t(i >> 8), 0xA8, 0xC0}, {2, 0, 0, 0, uint8_t(i >> 8), uint8_t(i)}, {1, 0}));
    ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() == kReplies; }));
    Settle();
    // Newest on top: row r is reply kReplies-1-r.
    for (int row : {0, 1, kReplies / 2, kReplies - 1}) {
        const int i = kReplies - 1 - row;
        EXPECT_EQ(Main().GetCell(IDC_DEVICE_LIST, row, 0), "192.168." + std::to_string(i >> 8) + "." + std::to_string(i & 0xFF));
    }
    std::string log = Cp936("搜索...\r\n");
    for (int i = 0; i < kReplies; ++i) log += Cp936("搜索到设备\r\n");
    EXPECT_EQ(State().InfoLog, log);
    EXPECT_EQ(Main().GetText(IDC_INFO), log);
    EXPECT_EQ(Window().DroppedDatagrams(), 0u);
}

TEST_F(DispatchTest, RepliesBeyondTheHandOverBoundAreDroppedCountedAndShownInTheMenu)
{
    // Nothing is handled while the loop does not run: the queue fills up.
    const size_t cost = DatagramQueue::Cost(Datagram{SearchReply({1, 0, 0, 10}, {2, 0, 0, 0, 0, 1}, {1, 0})});
    const size_t fits = DatagramQueue::kDefaultMaxBytes / cost;
    for (size_t i = 0; i < fits + 25; ++i) Deliver(SearchReply({1, 0, 0, 10}, {2, 0, 0, 0, 0, 1}, {1, 0}));
    EXPECT_EQ(Window().DroppedDatagrams(), 25u);
    // Those handed over are listed up to the list's bound and counted past it.
    const size_t listed = std::min(fits, SearchListing::LIMIT);
    ASSERT_TRUE(WaitFor([&] { return Window().RepliesNotListed() + size_t(Window().DeviceList().RowCount()) == fits; },
                        60000));
    EXPECT_EQ(Window().DeviceList().RowCount(), int(listed));

    QAction* dropped = nullptr;
    QAction* notListed = nullptr;
    QTimer::singleShot(0, [&] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : popup->actions()) {
                if (a->text().startsWith(QStringLiteral(u"丢弃的数据报："))) dropped = a;
                if (a->text().startsWith(QStringLiteral(u"未列出的搜索回复："))) notListed = a;
            }
            popup->close();
        }
    });
    Window().SystemMenu()->exec(Window().mapToGlobal(QPoint(5, 5)));
    ASSERT_NE(dropped, nullptr) << "no menu entry shows the count";
    EXPECT_FALSE(dropped->isEnabled());
    EXPECT_EQ(dropped->text(), QStringLiteral(u"丢弃的数据报：25"));
    ASSERT_NE(notListed, nullptr);
    EXPECT_FALSE(notListed->isEnabled());
    EXPECT_EQ(notListed->text(), QStringLiteral(u"未列出的搜索回复：%1").arg(qulonglong(fits - listed)));
    // The log has no line for the dropped ones.
    EXPECT_EQ(Main().GetText(IDC_INFO).find(Cp936("丢弃")), std::string::npos);
}

TEST_F(DispatchTest, DoubleClickOnARowReadsThatDevice)
{
    Deliver(SearchReply({0x66, 0, 0xA8, 0xC0}, {0x02, 0x5A, 0xC3, 0x00, 0x00, 0x07}, {100, 0}));
    ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() == 1; }));
    CReportList& list = Window().DeviceList();
    const QPoint cell = list.RowRect(0).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    Settle();
    EXPECT_EQ(Net().GetText(IDC_NET_MAC), "02-5A-C3-00-00-07");
    EXPECT_EQ(State().TargetMac, (MacAddress{0x02, 0x5A, 0xC3, 0x00, 0x00, 0x07}));
    EXPECT_EQ(Main().GetText(IDC_INFO), Cp936("读取参数...\r\n"));
}

TEST_F(DispatchTest, DoubleClickOnEmptySpaceWithNothingSelectedDoesNothing)
{
    CReportList& list = Window().DeviceList();
    const std::string before = Main().GetText(IDC_INFO);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, list.viewport()->rect().center());
    Settle();
    EXPECT_EQ(Main().GetText(IDC_INFO), before);
    EXPECT_EQ(Net().GetText(IDC_NET_MAC), "02-5A-C3-00-00-00");
}

TEST_F(DispatchTest, DeviceWriteBeforeAnyReadShowsTheHintOwnedByThePage)
{
    ModalWatcher watcher;
    State().TargetMac = {0x02, 0, 0, 0, 0, 0x01}; // chosen, not read
    Dev<QPushButton>(IDC_DEV_WRITE)->click();
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_EQ(watcher.Dialogs()[0].title, QStringLiteral(u"提示"));
    EXPECT_EQ(watcher.Dialogs()[0].text, QStringLiteral(u"请先执行\"读取设备参数\"操作;然后进行数据修改后再配置"));
    EXPECT_EQ(watcher.Dialogs()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(watcher.Dialogs()[0].parent, &Window().DevPage());
}

TEST_F(DispatchTest, LinkMessagesAreBoxesOfTheMainWindow)
{
    ModalWatcher watcher;
    m_root->MainWindow().ShowMessages()(LinkError{LinkFailure::Send, 0x7F000002, 1901, EPERM});
    // Not inside the send that failed: once the operation has returned.
    EXPECT_EQ(watcher.Dialogs().size(), 0u);
    Settle();
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_EQ(watcher.Dialogs()[0].title, "Vornik_Setup");
    EXPECT_EQ(watcher.Dialogs()[0].text, QStringLiteral(u"端口被占用"));
    EXPECT_EQ(watcher.Dialogs()[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(watcher.Dialogs()[0].parent, &Window());
}

} // namespace
} // namespace vornik::test

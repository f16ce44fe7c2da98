// The window's diagnostics: address conflicts and the adapter in the device
// list, and the packet record's menu item. The list's rows and cells stay as
// the search makes them.
#include <QAccessible>
#include <QAction>
#include <QHelpEvent>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include "pages/report_list.h"

#include <pcap/pcap.h>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "app/device_list_diag.h"
#include "gui_fixture.h"
#include "hex.h"
#include "link/packet_capture.h"
#include "ops/control_ids.h"

namespace vornik::test {
namespace {

constexpr uint32_t kAdapterA = 0x0A000001; // 10.0.0.1
constexpr uint32_t kAdapterB = 0x0A000101; // 10.0.1.1

// A search reply: bytes 8-11 the address (last number first), 12-17 the MAC,
// 18-19 firmware 100; the checksum is not looked at.
Datagram SearchReply(const char* ipBytes, const char* mac, uint32_t heardBy, uint32_t from)
{
    Datagram d;
    d.bytes = Hex(std::string("55 00 11 02 00 00 00 00 ") + ipBytes + " " + mac + " 64 00 00");
    d.localAddress = heardBy;
    d.sourceAddress = from;
    d.sourcePort = 1901;
    d.localPort = 1901;
    return d;
}

class DiagnosticsTest : public WindowTest {
protected:
    DeviceListDiagnostics& Diagnostics() { return Window().ListDiagnostics(); }

    QRect NameCell(int row)
    {
        CReportList& list = Window().DeviceList();
        return list.visualRect(list.model()->index(row, COL_DEVICE_NAME));
    }

    // The colour in the middle of the row's empty name cell.
    QColor Background(const QImage& image, int row) { return image.pixelColor(NameCell(row).center()); }

    // What the viewport's tooltip handler shows for the row.
    QString HoverToolTip(int row)
    {
        QWidget* viewport = Window().DeviceList().viewport();
        const QPoint at = NameCell(row).center();
        QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &help);
        return QToolTip::text();
    }

    // With VORNIK_SCREENSHOT_DIR set, keeps a picture of the window with the
    // tooltip of `row` drawn where it shows.
    void Screenshot(const char* name, int row)
    {
        const QString dir = qEnvironmentVariable("VORNIK_SCREENSHOT_DIR");
        if (dir.isEmpty()) return;
        HoverToolTip(row);
        Settle();
        QImage picture = Window().grab().toImage();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->inherits("QTipLabel") || !w->isVisible()) continue;
            QPainter painter(&picture);
            painter.drawPixmap(Window().mapFromGlobal(w->mapToGlobal(QPoint(0, 0))), w->grab());
        }
        picture.save(dir + QLatin1Char('/') + QLatin1String(name));
    }
};

TEST_F(DiagnosticsTest, TwoMacsOnOneAddressAreTintedAndNamedWhileADeviceHeardTwiceIsNot)
{
    // Delivered oldest first; the newest row is on top.
    Window().OnFrameReceived(SearchReply("A6 00 A8 C0", "00 1A 2B 3C 4D 5E", kAdapterA, 0xC0A800A6));
    Window().OnFrameReceived(SearchReply("A7 00 A8 C0", "00 1A 2B 3C 4D 60", kAdapterA, 0xC0A800A7));
    Window().OnFrameReceived(SearchReply("A6 00 A8 C0", "00 1A 2B 3C 4D 5F", kAdapterB, 0xC0A801A6));
    Window().OnFrameReceived(SearchReply("A7 00 A8 C0", "00 1A 2B 3C 4D 60", kAdapterB, 0xC0A800A7));
    Settle();

    // The rows are the search's own: four of them, four cells each.
    CReportList& list = Window().DeviceList();
    ASSERT_EQ(list.RowCount(), 4);
    EXPECT_EQ(list.model()->columnCount(), 4);
    const struct {
        const char* ip;
        const char* mac;
        bool conflict;
        const char* adapter;
    } rows[] = {
        {"192.168.0.167", "001A2B3C4D60", false, "10.0.1.1"},
        {"192.168.0.166", "001A2B3C4D5F", true, "10.0.1.1"},
        {"192.168.0.167", "001A2B3C4D60", false, "10.0.0.1"}, // the same device, heard through the other adapter
        {"192.168.0.166", "001A2B3C4D5E", true, "10.0.0.1"},
    };
    const QImage image = list.viewport()->grab().toImage();
    const QColor base = list.palette().color(QPalette::Base);
    const QColor tint = Diagnostics().Tint();
    ASSERT_NE(tint, base);
    for (int r = 0; r < 4; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(Main().GetCell(IDC_DEVICE_LIST, r, COL_DEVICE_IP), rows[r].ip);
        EXPECT_EQ(Main().GetCell(IDC_DEVICE_LIST, r, COL_DEVICE_NAME), "");
        EXPECT_EQ(Main().GetCell(IDC_DEVICE_LIST, r, COL_MAC), rows[r].mac);
        EXPECT_EQ(Main().GetCell(IDC_DEVICE_LIST, r, COL_FIRMWARE), "100");
        EXPECT_EQ(Background(image, r), rows[r].conflict ? tint : base);

        const QString tip = HoverToolTip(r);
        EXPECT_EQ(tip, Diagnostics().ToolTip(r));
        EXPECT_TRUE(tip.contains(QLatin1String(rows[r].adapter))) << tip.toStdString();
        EXPECT_EQ(tip.contains(QStringLiteral(u"IP地址冲突：")), rows[r].conflict) << tip.toStdString();
        if (rows[r].conflict) {
            EXPECT_TRUE(tip.startsWith(QStringLiteral(u"IP地址冲突：001A2B3C4D5E、001A2B3C4D5F"))) << tip.toStdString();
            EXPECT_TRUE(tip.contains(QLatin1String("192.168.0.166")));
        }
    }
    Screenshot("conflict.png", 1);
}

// The conflict index holds no more address and MAC pairs than its bound,
// here 2: a pair beyond it is not kept, a pair held again costs nothing.
struct ConflictCase {
    const char* name;
    std::vector<std::pair<uint32_t, uint8_t>> rows; // ip, last MAC byte
    size_t pairs;
    bool firstInConflict;  // 10.0.0.1
    bool secondInConflict; // 10.0.0.2
};

class ConflictBound : public testing::TestWithParam<ConflictCase> {};

TEST_P(ConflictBound, HoldsNoMorePairsThanItsBound)
{
    const ConflictCase& c = GetParam();
    AddressConflicts conflicts(2);
    for (const auto& [ip, mac] : c.rows) conflicts.Add(DeviceRow{ip, {2, 0, 0, 0, 0, mac}, 1, 0, 0, 0});
    EXPECT_EQ(conflicts.Size(), c.pairs);
    EXPECT_EQ(conflicts.InConflict(0x0A000001), c.firstInConflict);
    EXPECT_EQ(conflicts.InConflict(0x0A000002), c.secondInConflict);
    conflicts.Clear();
    EXPECT_EQ(conflicts.Size(), 0u);
    conflicts.Add(DeviceRow{0x0A000002, {2, 0, 0, 0, 0, 9}, 1, 0, 0, 0});
    EXPECT_EQ(conflicts.Size(), 1u); // a new search fills it again
}

INSTANTIATE_TEST_SUITE_P(
    Diagnostics, ConflictBound,
    testing::Values(ConflictCase{"TwoMacsOnOneAddressFillIt", {{0x0A000001, 1}, {0x0A000001, 2}}, 2, true, false},
                    ConflictCase{"APairBeyondTheBoundIsNotKept",
                                 {{0x0A000001, 1}, {0x0A000002, 3}, {0x0A000002, 4}, {0x0A000001, 2}}, 2, false, false},
                    ConflictCase{"ADeviceHeardAgainCostsNothing",
                                 {{0x0A000001, 1}, {0x0A000001, 1}, {0x0A000001, 1}, {0x0A000001, 2}}, 2, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiagnosticsTest, ANewSearchForgetsTheEarlierRows)
{
    Window().OnFrameReceived(SearchReply("A6 00 A8 C0", "00 1A 2B 3C 4D 5E", kAdapterA, 0xC0A800A6));
    Window().OnFrameReceived(SearchReply("A6 00 A8 C0", "00 1A 2B 3C 4D 5F", kAdapterA, 0xC0A800A6));
    ASSERT_TRUE(Diagnostics().InConflict(0));
    Main<QPushButton>(IDC_SEARCH)->click(); // on the test's own loopback port; nothing answers
    Window().OnFrameReceived(SearchReply("A6 00 A8 C0", "00 1A 2B 3C 4D 5F", kAdapterB, 0xC0A800A6));
    Settle();
    ASSERT_EQ(Window().DeviceList().RowCount(), 1);
    EXPECT_FALSE(Diagnostics().InConflict(0));
    EXPECT_FALSE(HoverToolTip(0).contains(QStringLiteral(u"IP地址冲突")));
}

// Replies handed over together and listed in one gathered step: each row still
// names the adapter and sender of its own datagram, before and after the step.
TEST_F(DiagnosticsTest, RowsGatheredFromOneHandOverKeepTheirOwnSenderAndAdapter)
{
    const struct {
        const char* ip;
        const char* mac;
        uint32_t adapter, sender;
        const char16_t* tip; // one MAC on 192.168.0.11, heard twice: no conflict
    } replies[] = {
        // In order of arrival; the list shows the last on top.
        {"0B 00 A8 C0", "02 00 00 00 00 0B", kAdapterA, 0xC0A8000B, u"接收网卡（本机地址）：10.0.0.1\n回复来自：192.168.0.11:1901"},
        {"0C 00 A8 C0", "02 00 00 00 00 0C", kAdapterB, 0xC0A8000C, u"接收网卡（本机地址）：10.0.1.1\n回复来自：192.168.0.12:1901"},
        {"0D 00 A8 C0", "02 00 00 00 00 0D", 0, 0xC0A8000D, u"接收网卡（本机地址）：未知\n回复来自：192.168.0.13:1901"},
        {"0B 00 A8 C0", "02 00 00 00 00 0B", kAdapterB, 0xC0A8010B, u"接收网卡（本机地址）：10.0.1.1\n回复来自：192.168.1.11:1901"},
    };
    const int count = int(std::size(replies));
    for (const auto& r : replies) m_root->MainWindow().PostDatagrams()(SearchReply(r.ip, r.mac, r.adapter, r.sender));
    // The wake-up, run here rather than by the event loop, so that the list
    // has had no step to show the rows yet.
    Window().OnDatagramsWaiting();
    ASSERT_EQ(Window().DeviceList().RowCount(), 0);
    for (const char* when : {"gathered", "shown"}) {
        SCOPED_TRACE(when);
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(Diagnostics().ToolTip(count - 1 - i), QString::fromUtf16(replies[i].tip)) << i;
        ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() == count; }));
    }
}

// Rows shown with newer rows gathered above them, not yet shown: each row of
// the view is tinted, and described to a screen reader, as its own device is.
TEST_F(DiagnosticsTest, ShownRowsKeepTheirTintAndDescriptionWhileNewerRowsAreGathered)
{
    const QString conflict = QStringLiteral(u"IP地址冲突：001A2B3C4D5E、001A2B3C4D5F 都使用 192.168.0.166");
    for (auto [ip, mac] : {std::pair{"A6 00 A8 C0", "00 1A 2B 3C 4D 5E"}, {"A6 00 A8 C0", "00 1A 2B 3C 4D 5F"},
                           {"A7 00 A8 C0", "00 1A 2B 3C 4D 60"}})
        Window().OnFrameReceived(SearchReply(ip, mac, kAdapterA, 0));
    ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() == 3; }));
    // Two more, .200 and .201, gathered on top; no event loop runs until the checks are done.
    Window().OnFrameReceived(SearchReply("C8 00 A8 C0", "00 1A 2B 3C 4D 70", kAdapterA, 0));
    Window().OnFrameReceived(SearchReply("C9 00 A8 C0", "00 1A 2B 3C 4D 71", kAdapterA, 0));
    CReportList& list = Window().DeviceList();
    ASSERT_EQ(list.RowCount(), 3);
    const bool inConflict[] = {false, true, true}; // .167 alone, then 5F and 5E on .166
    const QImage image = list.viewport()->grab().toImage();
    QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(&list)->tableInterface();
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(Background(image, r), inConflict[r] ? Diagnostics().Tint() : list.palette().color(QPalette::Base)) << r;
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(table->cellAt(r, column)->text(QAccessible::Description), inConflict[r] ? conflict : QString()) << r;
    }
}

TEST_F(DiagnosticsTest, WithoutAPacketRecordTheItemIsOfferedDisabledAndSavingSaysWhy)
{
    const QList<QAction*> actions = Window().SystemMenu()->actions();
    ASSERT_GE(actions.size(), 7);
    EXPECT_EQ(actions[0]->text(), QStringLiteral(u"导出参数..."));
    EXPECT_EQ(actions[1]->text(), QStringLiteral(u"导入参数..."));
    EXPECT_EQ(actions[2]->text(), QStringLiteral(u"保存数据包记录..."));
    EXPECT_FALSE(actions[2]->isEnabled());
    EXPECT_TRUE(actions[3]->isSeparator());
    // The window's own items keep their places at the end.
    EXPECT_EQ(actions.back()->text(), QStringLiteral(u"关于 Vornik_Setup(&A)..."));

    ModalWatcher watcher;
    EXPECT_FALSE(Window().SavePacketRecord(QStringLiteral("/tmp/never.pcap")));
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_TRUE(watcher.Dialogs()[0].text.startsWith(QStringLiteral(u"保存数据包记录失败"))) << watcher.Dialogs()[0].text.toStdString();
}


TEST_F(RecordedWindowTest, SavesWhatASearchSentAndReceivedAndEachRowNamesItsAdapter)
{
    SimProcess sim(LoopbackSimArgs(m_config.port, {"--devices", "2", "--base-ip", "10.9.0.7"}));
    ASSERT_TRUE(sim.Ready());
    Main<QPushButton>(IDC_SEARCH)->click();
    ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() >= 2; }));
    Settle();
    for (int r = 0; r < 2; ++r) {
        const std::optional<DeviceRow> row = Main().DeviceRowAt(IDC_DEVICE_LIST, r);
        ASSERT_TRUE(row.has_value());
        EXPECT_NE(row->adapter, 0u);
        EXPECT_EQ(row->senderPort, m_config.port);
        EXPECT_FALSE(Window().ListDiagnostics().InConflict(r));
        EXPECT_TRUE(Window().ListDiagnostics().ToolTip(r).contains(QStringLiteral(u"接收网卡")));
    }

    EXPECT_TRUE(Window().SystemMenu()->actions()[2]->isEnabled());
    const std::string path =
        (std::filesystem::temp_directory_path() / ("vornik-window-" + std::to_string(::getpid()) + ".pcap")).string();
    ASSERT_TRUE(Window().SavePacketRecord(QString::fromStdString(path)));

    char error[PCAP_ERRBUF_SIZE];
    pcap_t* file = pcap_open_offline(path.c_str(), error);
    ASSERT_NE(file, nullptr) << error;
    pcap_pkthdr* h;
    const u_char* data;
    int requests = 0, replies = 0;
    while (pcap_next_ex(file, &h, &data) == 1) {
        ASSERT_GT(h->caplen, 28u);
        const std::vector<uint8_t> payload(data + 28, data + h->caplen);
        if (payload == Hex("AA 00 01 02 02")) ++requests;
        if (payload.size() > 3 && payload[0] == 0x55 && payload[3] == 0x02) ++replies;
    }
    pcap_close(file);
    std::remove(path.c_str());
    EXPECT_GE(requests, 1); // sent, and heard back on loopback
    EXPECT_EQ(replies, 2);
}

} // namespace
} // namespace vornik::test

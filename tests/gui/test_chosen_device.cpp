// Which device the pages show: each page names the device (IP and MAC) its
// values came from, the list draws that device's row in bold, and Enter or
// Space on a row reads it as a double-click does.
#include <QAccessible>
#include <QLabel>
#include <QTest>

#include "gui_fixture.h"
#include "ops/control_ids.h"
#include "pages/report_list.h"

namespace vornik::test {
namespace {

// A search reply of 192.168.0.<last> with the MAC 02-00-00-00-00-<n>.
std::vector<uint8_t> SearchReply(uint8_t last, uint8_t n)
{
    return {0x55, 0x00, 0x11, 0x02, 0, 0, 0, 0, last, 0x00, 0xA8, 0xC0, 0x02, 0, 0, 0, 0, n, 0x64, 0x00, 0};
}

// A network read reply of 02-00-00-00-00-<n>, its block all zero.
std::vector<uint8_t> NetworkReply(uint8_t n)
{
    std::vector<uint8_t> d = {0x55, 0x01, 0x2B, 0x03, 0x02, 0, 0, 0, 0, n};
    d.resize(10 + 292 + 1, 0);
    return d;
}

class ChosenDevice : public WindowTest {
protected:
    // Devices .101 (02-..-01) and .102 (02-..-02) listed, the later on top.
    void ListTwo()
    {
        Deliver(SearchReply(101, 1));
        Deliver(SearchReply(102, 2));
        ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() == 2; }));
    }
    int RowOf(const char* macCell)
    {
        for (int r = 0; r < Window().DeviceList().Rows().Rows(); ++r)
            if (Main().GetCell(IDC_DEVICE_LIST, r, COL_MAC) == macCell) return r;
        return -1;
    }
    bool Bold(int row)
    {
        const QModelIndex at = Window().DeviceList().Rows().index(row, COL_MAC);
        return at.data(Qt::FontRole).value<QFont>().bold();
    }
    std::string InfoText() { return Main().GetText(IDC_INFO); }
    // Selects the row and double-clicks it, as an operator does.
    void Choose(const char* macCell)
    {
        CReportList& list = Window().DeviceList();
        list.selectionModel()->select(list.Rows().index(RowOf(macCell), 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        Window().Ops().OnDeviceListDoubleClick();
        Settle();
    }
};

TEST_F(ChosenDevice, EnterOrSpaceOnARowReadsIt)
{
    const struct {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        bool reads;
    } rows[] = {
        {"Return", Qt::Key_Return, Qt::NoModifier, true},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, true},
        {"Space", Qt::Key_Space, Qt::NoModifier, true},
        {"Ctrl+Return is no read", Qt::Key_Return, Qt::ControlModifier, false},
    };
    ListTwo();
    CReportList& list = Window().DeviceList();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        State().TargetMac = {};
        Window().Ops().AppendInfoLine(Cp936("标记\r\n"));
        list.selectionModel()->clearSelection();
        // The focus on the lower row, which is not selected: the key reads the row it is on.
        list.setFocus();
        list.selectionModel()->setCurrentIndex(list.Rows().index(RowOf("020000000001"), 0),
                                               QItemSelectionModel::NoUpdate);
        QTest::keyClick(&list, Qt::Key(row.key), row.modifiers);
        Settle();
        EXPECT_EQ(State().TargetMac == (MacAddress{2, 0, 0, 0, 0, 1}), row.reads);
        // A read starts the info area afresh.
        EXPECT_EQ(InfoText() == Cp936("读取参数...\r\n"), row.reads) << InfoText();
    }
}

TEST_F(ChosenDevice, AKeyOnAnEmptyListReadsNothing)
{
    const std::string before = InfoText();
    QTest::keyClick(&Window().DeviceList(), Qt::Key_Space);
    Settle();
    EXPECT_EQ(InfoText(), before);
    EXPECT_EQ(State().TargetMac, MacAddress{});
}

TEST_F(ChosenDevice, ThePagesNameTheirDeviceAndTheListMarksItsRow)
{
    auto* netSource = Net<QLabel>(IDC_NET_SOURCE);
    auto* devSource = Dev<QLabel>(IDC_DEV_SOURCE);
    ASSERT_NE(netSource, nullptr);
    ASSERT_NE(devSource, nullptr);
    EXPECT_EQ(netSource->text(), QStringLiteral(u"未读取设备\n(启动时的默认值)"));

    ListTwo();
    Choose("020000000001");
    EXPECT_TRUE(Bold(RowOf("020000000001")));
    EXPECT_FALSE(Bold(RowOf("020000000002")));

    // Another device's late reply is left out and changes no label.
    Deliver(NetworkReply(2));
    Deliver(NetworkReply(1));
    ASSERT_TRUE(WaitFor([&] { return InfoText().find(Cp936("读取网络参数成功！")) != std::string::npos; }));
    EXPECT_EQ(netSource->text(), QStringLiteral(u"来自 192.168.0.101\nMAC 02-00-00-00-00-01"));
    EXPECT_EQ(netSource->accessibleName(), QStringLiteral(u"本页来自 192.168.0.101，MAC 02-00-00-00-00-01"));
    // Not read yet: the device page does not claim the network page's device.
    EXPECT_EQ(devSource->text(), QStringLiteral(u"未读取设备\n(启动时的默认值)"));

    // A device found later goes on top; the mark stays with the chosen device.
    Deliver(SearchReply(103, 3));
    ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() == 3; }));
    EXPECT_TRUE(Bold(RowOf("020000000001")));
    EXPECT_FALSE(Bold(RowOf("020000000003")));
    EXPECT_FALSE(Bold(RowOf("020000000002")));
    // The list keeps its four columns.
    EXPECT_EQ(Window().DeviceList().Rows().columnCount(), 4);

    // Choosing the other row moves the mark.
    Choose("020000000002");
    EXPECT_FALSE(Bold(RowOf("020000000001")));
    EXPECT_TRUE(Bold(RowOf("020000000002")));
}

} // namespace
} // namespace vornik::test

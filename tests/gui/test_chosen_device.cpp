// Which device the pages show: each page names the device its values came
// from, the list draws that device's row in bold and describes it as chosen, and Enter or Space on a row
// reads it as a double-click does.
#include <QLabel>
#include <QTest>

#include "gui_fixture.h"
#include "ops/control_ids.h"
#include "pages/report_list.h"

namespace vornik::test {
namespace {

using ChosenDevice = WindowTest;

TEST_F(ChosenDevice, AKeyReadsTheRowAndThePagesNameItsDevice)
{
    auto* netSource = Net<QLabel>(IDC_NET_SOURCE);
    ASSERT_NE(netSource, nullptr);
    EXPECT_EQ(netSource->text(), QStringLiteral(u"未读取设备\n(启动时的默认值)"));
    CReportList& list = Window().DeviceList();
    // 192.168.0.<n> with the MAC 02-00-00-00-00-0<n - 100>; the later on top.
    for (uint8_t n : {101, 102})
        Deliver({0x55, 0x00, 0x11, 0x02, 0, 0, 0, 0, n, 0x00, 0xA8, 0xC0, 0x02, 0, 0, 0, 0, uint8_t(n - 100), 0x64, 0, 0});
    ASSERT_TRUE(WaitFor([&] { return list.RowCount() == 2; }));
    // Bold for the eye, the description for a screen reader.
    const auto bold = [&](int row) {
        const QModelIndex cell = list.Rows().index(row, COL_MAC);
        const bool told = cell.data(Qt::AccessibleDescriptionRole).toString().startsWith(QStringLiteral(u"已选中"));
        return cell.data(Qt::FontRole).value<QFont>().bold() && told;
    };
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int row; // read, or -1
    } rows[] = {{Qt::Key_Return, Qt::ControlModifier, -1}, {Qt::Key_Return, {}, 1}, {Qt::Key_Enter, Qt::KeypadModifier, 0},
                {Qt::Key_Space, {}, 1}};
    for (const auto& row : rows) {
        State().TargetMac = {};
        list.setFocus();
        // The focus on a row that is not selected: the key reads the row it is on.
        list.selectionModel()->clearSelection();
        list.selectionModel()->setCurrentIndex(list.Rows().index(std::max(row.row, 0), 0),
                                               QItemSelectionModel::NoUpdate);
        QTest::keyClick(&list, Qt::Key(row.key), row.modifiers);
        Settle();
        const MacAddress read{2, 0, 0, 0, 0, uint8_t(row.row == 1 ? 1 : 2)};
        EXPECT_EQ(State().TargetMac, row.row < 0 ? MacAddress{} : read) << row.key;
        EXPECT_TRUE(row.row < 0 || (bold(row.row) && !bold(1 - row.row))) << row.key;
    }
    // The last read chose 02-..-01, .101: its reply names it; the device page was not read.
    std::vector<uint8_t> reply = {0x55, 0x01, 0x2B, 0x03, 0x02, 0, 0, 0, 0, 1};
    reply.resize(10 + 292 + 1, 0);
    Deliver(reply);
    ASSERT_TRUE(WaitFor([&] { return netSource->text().startsWith(QStringLiteral(u"来自")); }));
    EXPECT_EQ(netSource->text(), QStringLiteral(u"来自 192.168.0.101\nMAC 02-00-00-00-00-01"));
    EXPECT_EQ(netSource->accessibleName(), QStringLiteral(u"本页来自 192.168.0.101，MAC 02-00-00-00-00-01"));
    EXPECT_EQ(Dev<QLabel>(IDC_DEV_SOURCE)->text(), QStringLiteral(u"未读取设备\n(启动时的默认值)"));
    EXPECT_EQ(list.Rows().columnCount(), 4); // no column of its own for the mark
}

} // namespace
} // namespace vornik::test

// The window and both pages as they stand right after start-up.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include "pages/report_list.h"

#include <map>

#include "app/tab_ctrl.h"
#include "controls/CIconButton.h"
#include "gui_fixture.h"
#include "ops/control_ids.h"
#include "pages/dialog_units.h"

namespace vornik::test {
namespace {

using StartupTest = WindowTest;

TEST_F(StartupTest, InfoAreaShowsExactlyTheWelcomeText)
{
    const std::string welcome = Cp936(
        "  本软件适用于：Vornik多探头产品的参数配置。\r\n"
        "单击\"搜索\"按钮搜索设备，设备出现在设备列表后，双击设备更新信息到右边信息框中修改参数后，"
        "点击\"参数配置\"按钮，设备将保存参数并自动重启\r\n"
        "注意事项:\r\n"
        "1、确保软件与设备在同一局域网内\r\n"
        "2、请确定当前PC只使用一个网卡\r\n"
        "3、请按照 搜索->双击选中并读取->参数配置 的步骤来操作\r\n");
    EXPECT_EQ(Main().GetText(IDC_INFO), welcome);

    auto* info = Main<QPlainTextEdit>(IDC_INFO);
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(info->isReadOnly());
    EXPECT_EQ(info->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(StartupTest, LocalHostGroupShowsFirstAddressAndPort)
{
    // The port the link really uses: this test's own, not the product's 1901.
    ASSERT_NE(m_config.port, 1901);
    EXPECT_EQ(Main().GetText(IDC_LOCAL_PORT), std::to_string(m_config.port));
    EXPECT_EQ(Main().GetText(IDC_LOCAL_IP), "127.0.0.2");
    EXPECT_TRUE(Main<QLineEdit>(IDC_LOCAL_IP)->isReadOnly());
    EXPECT_TRUE(Main<QLineEdit>(IDC_LOCAL_PORT)->isReadOnly());
    EXPECT_EQ(Main<QPushButton>(IDC_SEARCH)->text(), QStringLiteral(u"搜索"));
}

TEST_F(StartupTest, DeviceListIsAnEmptyReportWithFourColumns)
{
    CReportList& list = Window().DeviceList();
    EXPECT_EQ(list.RowCount(), 0);
    ASSERT_EQ(list.model()->columnCount(), 4);
    const QStringList headings = {QStringLiteral(u"设备IP"), QStringLiteral(u"设备名称"),
                                  QStringLiteral(u"MAC地址"), QStringLiteral(u"固件版本")};
    const int client = list.viewport()->width();
    const int widths[] = {client * 3 / 11, client * 3 / 11, client * 3 / 11, client * 2 / 11};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(list.model()->headerData(c, Qt::Horizontal).toString(), headings[c]);
        EXPECT_EQ(list.columnWidth(c), widths[c]) << "column " << c;
    }
    EXPECT_TRUE(list.header()->defaultAlignment() & Qt::AlignLeft);
    EXPECT_EQ(list.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(list.rootIsDecorated());
    EXPECT_EQ(list.property("controlId").toInt(), IDC_DEVICE_LIST);
}

TEST_F(StartupTest, WindowIsFixedAtTemplateSizeWithTitle)
{
    const DialogUnits du = DialogUnits::FromFont(Window().font());
    EXPECT_EQ(Window().windowTitle(), QStringLiteral(u"Vornik多探头 V2.0"));
    EXPECT_EQ(Window().size(), QSize(du.X(579), du.Y(366)));
    EXPECT_EQ(Window().minimumSize(), Window().maximumSize());
    EXPECT_FALSE(Window().windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(Window().windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(Window().windowIcon().isNull());
    EXPECT_EQ(Main<QPushButton>(IDC_SEARCH)->geometry(), du.Map(157, 22, 77, 21));
}

TEST_F(StartupTest, TabControlCarriesTwoPagesInItsInsetClientArea)
{
    CTabCtrl& tab = Window().Tab();
    ASSERT_EQ(tab.Bar()->count(), 2);
    EXPECT_EQ(tab.Bar()->tabText(0), QStringLiteral(u"网络参数"));
    EXPECT_EQ(tab.Bar()->tabText(1), QStringLiteral(u"设备参数"));
    EXPECT_EQ(tab.Bar()->tabRect(0).width(), tab.Bar()->tabRect(1).width()); // fixed-width tabs
    EXPECT_EQ(tab.GetCurSel(), 0);
    EXPECT_TRUE(Window().NetPage().isVisible());
    EXPECT_FALSE(Window().DevPage().isVisible());

    const QRect inset(8, 20, tab.width() - 16, tab.height() - 28);
    EXPECT_EQ(Window().NetPage().parentWidget(), &tab);
    EXPECT_EQ(Window().DevPage().parentWidget(), &tab);
    EXPECT_EQ(Window().NetPage().geometry(), inset);
    EXPECT_EQ(Window().DevPage().geometry(), inset);
}

TEST_F(StartupTest, NetworkPageStartupValues)
{
    const std::map<int, std::string> texts = {
        {1020, "192.168.0.9"}, {1018, "255.255.255.0"}, {1019, "192.168.0.1"}, {1030, "02-5A-C3-00-00-00"},
        // Local and target ports of servers 1 to 8: 2000 to 2007.
        {1014, "2000"}, {1056, "2001"}, {1026, "2002"}, {1029, "2003"},
        {1034, "2004"}, {1037, "2005"}, {1040, "2006"}, {1043, "2007"},
        {1016, "2000"}, {1058, "2001"}, {1028, "2002"}, {1033, "2003"},
        {1036, "2004"}, {1039, "2005"}, {1042, "2006"}, {1045, "2007"},
        {1015, "192.168.0.166"}, {1057, "192.168.0.166"}, {1027, "192.168.0.166"}, {1032, "192.168.0.166"},
        {1035, "192.168.0.166"}, {1038, "192.168.0.166"}, {1041, "192.168.0.166"}, {1044, "192.168.0.166"},
    };
    for (const auto& [id, text] : texts) {
        ASSERT_NE(Net<QLineEdit>(id), nullptr) << id;
        EXPECT_EQ(Net().GetText(id), text) << id;
    }
    EXPECT_EQ(Net().GetSel(1021), 0);
    EXPECT_EQ(Net<QComboBox>(1021)->currentText(), "StaticIP");
    EXPECT_EQ(Net().GetSel(1046), 8);
    for (int id : {1020, 1018, 1019}) EXPECT_TRUE(Net().Control(id)->isEnabled()) << id;
}

TEST_F(StartupTest, DevicePageStartupValues)
{
    std::map<int, std::string> texts = {
        {1051, "12345678"}, {1052, "3"}, {1053, "60"}, {1054, "5"}, {1056, "4800"}, {1057, "1"},
        {1058, "1"}, {1059, "2"}, {1060, "3"}, {1061, "4"}, {1062, "5"}, {1063, "6"}, {1064, "7"}, {1065, "8"},
    };
    for (int id = 1069; id <= 1076; ++id) texts[id] = "99.9"; // upper temperature
    for (int id = 1077; id <= 1084; ++id) texts[id] = "0";    // lower temperature
    for (int id : {1085, 1086, 1087, 1088, 1089, 1090, 1091, 1093}) texts[id] = "99.9";
    for (int id = 1094; id <= 1101; ++id) texts[id] = "0";
    for (const auto& [id, text] : texts) {
        ASSERT_NE(Dev<QLineEdit>(id), nullptr) << id;
        EXPECT_EQ(Dev().GetText(id), text) << id;
    }
    EXPECT_EQ(Dev().Control(1092), nullptr);

    const std::map<int, QString> selected = {
        {1050, "8"}, {1055, QStringLiteral(u"温湿度探头")}, {1066, "8"}, {1012, "NONE"}, {1068, "1"}};
    for (const auto& [id, entry] : selected) {
        auto* list = Dev<QComboBox>(id);
        ASSERT_NE(list, nullptr) << id;
        EXPECT_EQ(list->currentText(), entry) << id;
    }
}

TEST_F(StartupTest, EveryListHoldsItsEntries)
{
    struct Case {
        QtControlOps* page;
        int id;
        QStringList entries;
    };
    const QStringList digits = {"0", "1", "2", "3", "4", "5", "6", "7", "8"};
    const std::vector<Case> cases = {
        {&Net(), 1021, {"StaticIP", "DHCP/autoIP"}},
        {&Net(), 1046, digits},
        {&Dev(), 1050, digits},
        {&Dev(), 1055,
         {QStringLiteral(u"温湿度探头"), QStringLiteral(u"Modbus温湿度传感器"), QStringLiteral(u"0-5V温湿度变送器"),
          QStringLiteral(u"0-10V温湿度变送器"), QStringLiteral(u"0-10mA温湿度变送器"),
          QStringLiteral(u"4-20mA温湿度变送器")}},
        {&Dev(), 1066, {"5", "6", "7", "8", "9"}},
        {&Dev(), 1012, {"NONE", "ODD", "EVEN"}},
        {&Dev(), 1068, {"1", "2"}},
    };
    for (const Case& c : cases) {
        auto* list = qobject_cast<QComboBox*>(c.page->Control(c.id));
        ASSERT_NE(list, nullptr) << c.id;
        EXPECT_TRUE(list->isEditable()) << c.id; // drop-down: a text field over the list
        QStringList entries;
        for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
        EXPECT_EQ(entries, c.entries) << c.id;
    }
}

TEST_F(StartupTest, ButtonsCarryTheirCaptions)
{
    const std::vector<std::tuple<QtControlOps*, int, QString>> buttons = {
        {&Net(), 1024, QStringLiteral(u"参数配置")}, {&Net(), 1031, QStringLiteral(u"写MAC")},
        {&Net(), 1025, QStringLiteral(u"载入默认")}, {&Dev(), 1049, QStringLiteral(u"读取设备参数")},
        {&Dev(), 1048, QStringLiteral(u"配置设备参数")},
    };
    for (const auto& [page, id, caption] : buttons) {
        auto* button = qobject_cast<QPushButton*>(page->Control(id));
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->text(), caption) << id;
        EXPECT_EQ(button->property("controlId").toInt(), id);
    }
}

TEST_F(StartupTest, IconButtonsDrawTheNetworkPageActions)
{
    for (int i = 0; i < 2; ++i) {
        CIconButton* icon = Window().IconButton(i);
        ASSERT_NE(icon, nullptr);
        const int expected = i == 0 ? IDC_NET_WRITE : IDC_NET_DEFAULTS;
        EXPECT_EQ(Window().NetPage().Control(expected), static_cast<QWidget*>(icon->Button())) << i;
    }
}

// The ids of a page's controls in the order the Tab key visits them.
std::vector<int> TabOrder(QWidget* page, QWidget* first)
{
    std::vector<int> ids;
    QWidget* w = first;
    do {
        if (page->isAncestorOf(w) && w->focusPolicy() & Qt::TabFocus && w->property("controlId").isValid())
            ids.push_back(w->property("controlId").toInt());
        w = w->nextInFocusChain();
    } while (w != first);
    return ids;
}

TEST_F(StartupTest, NetworkPageTabOrder)
{
    // Per server, bottom to top; then the controls below the grid.
    const std::vector<int> expected = {1014, 1015, 1016, 1056, 1057, 1058, 1026, 1027, 1028, 1029, 1032, 1033,
                                       1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043, 1044, 1045,
                                       1024, 1025, 1018, 1019, 1020, 1021, 1030, 1031, 1046};
    EXPECT_EQ(TabOrder(&Window().NetPage(), Net().Control(1014)), expected);
}

TEST_F(StartupTest, DevicePageTabOrder)
{
    std::vector<int> expected = {1049, 1048, 1050, 1051, 1052, 1053, 1054, 1055, 1056, 1057};
    for (int id = 1058; id <= 1065; ++id) expected.push_back(id);
    expected.insert(expected.end(), {1066, 1012, 1068});
    for (int id = 1069; id <= 1101; ++id)
        if (id != 1092) expected.push_back(id);
    EXPECT_EQ(TabOrder(&Window().DevPage(), Dev().Control(1049)), expected);
}

// What a user can click or type into: no two of these may overlap, and each
// lies inside its dialog.
void ExpectNoOverlap(QWidget* dialog, const QRect& bounds)
{
    std::vector<QWidget*> controls;
    for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QPushButton*>(w) ||
            qobject_cast<QPlainTextEdit*>(w) || dynamic_cast<CReportList*>(w))
            controls.push_back(w);
    ASSERT_FALSE(controls.empty());
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(bounds.contains(controls[i]->geometry()))
            << controls[i]->property("controlId").toInt() << " leaves its dialog";
        for (size_t j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->property("controlId").toInt() << " overlaps "
                << controls[j]->property("controlId").toInt();
    }
}

TEST_F(StartupTest, NoControlsOverlap)
{
    ExpectNoOverlap(&Window(), Window().rect());
    ExpectNoOverlap(&Window().NetPage(), Window().NetPage().rect());
    ExpectNoOverlap(&Window().DevPage(), Window().DevPage().rect());
}

TEST_F(StartupTest, EveryLabelFitsItsText)
{
    for (QWidget* dialog : {static_cast<QWidget*>(&Window()), static_cast<QWidget*>(&Window().NetPage()),
                            static_cast<QWidget*>(&Window().DevPage())}) {
        for (QLabel* label : dialog->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            const QFontMetrics metrics(label->font());
            const QStringList lines = label->text().split(QLatin1Char('\n'));
            for (const QString& line : lines)
                EXPECT_LE(metrics.horizontalAdvance(line), label->width()) << line.toStdString();
            EXPECT_LE(metrics.height() * lines.size(), label->height()) << label->text().toStdString();
        }
    }
}

} // namespace
} // namespace vornik::test

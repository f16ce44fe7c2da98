// What the user does with the window itself: tabs, the about item,
// typing into the info area, closing.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include "pages/report_list.h"

#include "app/about_dlg.h"
#include "app/tab_ctrl.h"
#include "gui_fixture.h"
#include "hex.h"
#include "link_fixture.h"
#include "ops/control_ids.h"

namespace vornik::test {
namespace {

using WindowUseTest = WindowTest;

void ClickTab(CTabCtrl& tab, int index)
{
    QTest::mouseClick(tab.Bar(), Qt::LeftButton, Qt::NoModifier, tab.Bar()->tabRect(index).center());
}

TEST_F(WindowUseTest, TabsShowOnePageAtATimeAndPagesKeepTypedValues)
{
    auto* targetPort = Net<QLineEdit>(1016);
    targetPort->selectAll();
    QTest::keyClicks(targetPort, "4321");
    auto* baud = Dev<QLineEdit>(IDC_DEV_BAUD_RATE);

    for (int round = 0; round < 2; ++round) {
        ClickTab(Window().Tab(), 1);
        EXPECT_EQ(Window().Tab().GetCurSel(), 1);
        EXPECT_FALSE(Window().NetPage().isVisible());
        EXPECT_TRUE(Window().DevPage().isVisible());
        if (round == 0) {
            baud->selectAll();
            QTest::keyClicks(baud, "9600");
        }

        ClickTab(Window().Tab(), 0);
        EXPECT_EQ(Window().Tab().GetCurSel(), 0);
        EXPECT_TRUE(Window().NetPage().isVisible());
        EXPECT_FALSE(Window().DevPage().isVisible());
    }
    EXPECT_EQ(Net().GetText(1016), "4321");
    EXPECT_EQ(Dev().GetText(IDC_DEV_BAUD_RATE), "9600");
}

TEST_F(WindowUseTest, ChoosingDhcpGreysTheAddressFieldsAndStaticEnablesThem)
{
    auto* mode = Net<QComboBox>(IDC_NET_IP_MODE);
    mode->setFocus();
    QTest::keyClick(mode, Qt::Key_Down); // a user's choice: StaticIP -> DHCP/autoIP
    ASSERT_EQ(mode->currentIndex(), 1);
    for (int id : {IDC_NET_IP_ADDRESS, IDC_NET_SUBNET_MASK, IDC_NET_GATEWAY})
        EXPECT_FALSE(Net().Control(id)->isEnabled()) << id;
    QTest::keyClick(mode, Qt::Key_Up);
    for (int id : {IDC_NET_IP_ADDRESS, IDC_NET_SUBNET_MASK, IDC_NET_GATEWAY})
        EXPECT_TRUE(Net().Control(id)->isEnabled()) << id;
    EXPECT_EQ(Net().GetText(IDC_NET_IP_ADDRESS), "192.168.0.9");
}

TEST_F(WindowUseTest, TypedLettersShowInUpperCase)
{
    auto* info = Main<QPlainTextEdit>(IDC_INFO);
    info->setFocus();
    QTest::keyClicks(info, "ab1c");
    EXPECT_TRUE(info->toPlainText().endsWith("AB1C")) << info->toPlainText().toStdString();
}

TEST_F(WindowUseTest, CtrlEnterInTheInfoAreaStartsALine)
{
    auto* info = Main<QPlainTextEdit>(IDC_INFO);
    info->setFocus();
    const int lines = info->document()->blockCount();
    QTest::keyClick(info, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(info->document()->blockCount(), lines + 1);
    EXPECT_TRUE(Window().isVisible());
}

TEST_F(WindowUseTest, AboutItemComesLastAfterASeparatorAndOpensTheAboutBox)
{
    QMenu* menu = Window().SystemMenu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    QAction* about = actions.back();
    EXPECT_EQ(about->text(), QStringLiteral(u"关于 Vornik_Setup(&A)..."));

    ModalWatcher watcher;
    about->trigger();
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_EQ(watcher.Dialogs()[0].type, typeid(CAboutDlg).name());
    EXPECT_EQ(watcher.Dialogs()[0].title, QStringLiteral(u"关于 Vornik多探头 V2.0"));
    EXPECT_TRUE(Window().isVisible()); // the window goes on
}

TEST_F(WindowUseTest, RightClickOnTheBackgroundOffersTheMenu)
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            shown = popup == Window().SystemMenu();
            popup->close();
        }
    });
    const QPoint background(Window().width() / 2, 3); // above the list, beside the local-host group
    QContextMenuEvent event(QContextMenuEvent::Mouse, background, Window().mapToGlobal(background));
    QApplication::sendEvent(&Window(), &event);
    EXPECT_TRUE(shown);
}

TEST_F(WindowUseTest, ClosingWithoutASearchEndsCleanly)
{
    Window().close();
    EXPECT_FALSE(Window().isVisible());
    for (const EndpointSlot& slot : Link().Slots()) EXPECT_FALSE(slot.open);
    // TearDown stops the link, joining its receive thread, as the program does.
}

TEST_F(WindowUseTest, ClosingAfterASearchClosesTheEndpointsWhileTheReceiveSideRuns)
{
    Main<QPushButton>(IDC_SEARCH)->click();
    Settle();
    ASSERT_TRUE(Link().Slots()[0].open);
    Window().close();
    EXPECT_FALSE(Window().isVisible());
    for (const EndpointSlot& slot : Link().Slots()) EXPECT_FALSE(slot.open);
    // The receive thread stops only after the run (TearDown, as the program):
    // a reply that arrives now is still handed over.
    SendDatagram(0x7F000001, m_config.port, Hex("55 00 11 02 00 00 00 00 09 00 A8 C0 02 00 00 00 00 09 64 00 00"));
    EXPECT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() == 1; }));
}

// A host with two addresses shows the first.
class TwoAddressesTest : public WindowTest {
protected:
    TwoAddressesTest() { m_config = LoopbackLinkConfig(FreeUdpPort(), {0x7F000003, kLocalAddress}); }
};

TEST_F(TwoAddressesTest, TheLocalAddressEditShowsTheFirst)
{
    EXPECT_EQ(Main().GetText(IDC_LOCAL_IP), "127.0.0.3");
}

} // namespace
} // namespace vornik::test

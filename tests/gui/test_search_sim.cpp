// The window against simulated devices on loopback: search, double-click,
// and both parameter pages read and written through their widgets.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include "pages/report_list.h"

#include "app/tab_ctrl.h"
#include "gui_fixture.h"
#include "ops/control_ids.h"

namespace vornik::test {
namespace {

class SimulatorTest : public WindowTest {
protected:
    // Three devices: 192.168.0.100 to .102, MAC 02-00-00-00-00-01 to -03, firmware 100.
    void StartDevices(std::initializer_list<std::string> extra = {})
    {
        std::vector<std::string> args = LoopbackSimArgs(
            m_config.port, {"--devices", "3", "--base-ip", "192.168.0.100", "--base-mac", "02-00-00-00-00-01"});
        args.insert(args.end(), extra.begin(), extra.end());
        m_sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(m_sim->Ready()) << "simulator did not start";
    }

    void Search(int expectRows)
    {
        Main<QPushButton>(IDC_SEARCH)->click();
        ASSERT_TRUE(WaitFor([&] { return Window().DeviceList().RowCount() >= expectRows; }))
            << Window().DeviceList().RowCount() << " rows";
        QTest::qWait(100); // anything more would arrive now
        Settle();
    }

    void DoubleClickRow(int row)
    {
        CReportList& list = Window().DeviceList();
        const QPoint at = list.RowRect(row).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

    bool WaitForLog(const char* utf8Tail)
    {
        const std::string tail = Cp936(utf8Tail);
        return WaitFor([&] {
            QtControlOps::FlushAllPending();
            const std::string log = Main().GetText(IDC_INFO);
            return log.size() >= tail.size() && log.compare(log.size() - tail.size(), tail.size(), tail) == 0;
        });
    }

    // With VORNIK_SCREENSHOT_DIR set, keeps a picture of the window as it is
    // now, to look at what a filled page shows.
    void Screenshot(const char* name, int tab)
    {
        const QString dir = qEnvironmentVariable("VORNIK_SCREENSHOT_DIR");
        if (dir.isEmpty()) return;
        Window().Tab().SetCurSel(tab);
        Settle();
        Window().grab().save(dir + QLatin1Char('/') + QLatin1String(name));
    }

    void TearDown() override
    {
        m_sim.reset();
        WindowTest::TearDown();
    }

    std::unique_ptr<SimProcess> m_sim;
};

std::vector<std::string> Row(QtControlOps& main, int row)
{
    std::vector<std::string> cells;
    for (int c = 0; c < 4; ++c) cells.push_back(main.GetCell(IDC_DEVICE_LIST, row, c));
    return cells;
}

TEST_F(SimulatorTest, SearchListsEveryDeviceNewestOnTop)
{
    StartDevices();
    Search(3);
    ASSERT_EQ(Window().DeviceList().RowCount(), 3);
    // The devices answer in turn; the last answer stands on top.
    EXPECT_EQ(Row(Main(), 0), (std::vector<std::string>{"192.168.0.102", "", "020000000003", "100"}));
    EXPECT_EQ(Row(Main(), 1), (std::vector<std::string>{"192.168.0.101", "", "020000000002", "100"}));
    EXPECT_EQ(Row(Main(), 2), (std::vector<std::string>{"192.168.0.100", "", "020000000001", "100"}));
    EXPECT_EQ(Main().GetText(IDC_INFO), Cp936("搜索...\r\n搜索到设备\r\n搜索到设备\r\n搜索到设备\r\n"));
}

TEST_F(SimulatorTest, SecondSearchReplacesTheFirstOnesRows)
{
    StartDevices();
    Search(3);
    Search(3);
    EXPECT_EQ(Window().DeviceList().RowCount(), 3);
}

TEST_F(SimulatorTest, SearchWithNoDeviceLeavesTheListEmpty)
{
    Main<QPushButton>(IDC_SEARCH)->click();
    QTest::qWait(200);
    Settle();
    EXPECT_EQ(Window().DeviceList().RowCount(), 0);
    EXPECT_EQ(Main().GetText(IDC_INFO), Cp936("搜索...\r\n"));
}

TEST_F(SimulatorTest, DoubleClickFillsTheNetworkPageFromTheDevice)
{
    StartDevices();
    Search(3);
    DoubleClickRow(1); // 192.168.0.101
    EXPECT_EQ(Net().GetText(IDC_NET_MAC), "02-00-00-00-00-02");
    ASSERT_TRUE(WaitForLog("读取参数...\r\n读取网络参数成功！\r\n"));
    EXPECT_EQ(Net().GetText(IDC_NET_IP_ADDRESS), "192.168.0.101");
    EXPECT_EQ(Net().GetText(IDC_NET_SUBNET_MASK), "255.255.255.0");
    EXPECT_EQ(Net().GetText(IDC_NET_GATEWAY), "192.168.0.1");
    EXPECT_EQ(Net().GetSel(IDC_NET_IP_MODE), 0);
    EXPECT_EQ(Net().GetSel(IDC_NET_MAX_CONNECTIONS), 8);
    Screenshot("net-filled.png", 0);
}

TEST_F(SimulatorTest, NetworkWriteReachesTheDevice)
{
    StartDevices();
    Search(3);
    DoubleClickRow(0);
    ASSERT_TRUE(WaitForLog("读取网络参数成功！\r\n"));

    auto* targetPort = Net<QLineEdit>(SERVER_CONTROL_IDS[0].targetPort);
    targetPort->selectAll();
    QTest::keyClicks(targetPort, "3001");
    Net<QPushButton>(IDC_NET_WRITE)->click();
    ASSERT_TRUE(WaitForLog("的网络参数已写入\r\n")); // its read-back
    EXPECT_EQ(Main().GetText(IDC_INFO).rfind(Cp936("设置参数... \r\n读回确认：设备 "), 0), 0u);

    targetPort->setText("1"); // forget it here; the device must give it back
    DoubleClickRow(0);
    ASSERT_TRUE(WaitForLog("读取网络参数成功！\r\n"));
    EXPECT_EQ(Net().GetText(SERVER_CONTROL_IDS[0].targetPort), "3001");
}

TEST_F(SimulatorTest, DevicePageReadThenWriteRoundTrip)
{
    StartDevices();
    Search(3);
    DoubleClickRow(2);
    ASSERT_TRUE(WaitForLog("读取网络参数成功！\r\n"));

    Dev<QPushButton>(IDC_DEV_READ)->click();
    ASSERT_TRUE(WaitForLog("读取设备参数...\r\n读取设备参数成功！\r\n"));
    EXPECT_EQ(Dev().GetText(IDC_DEV_TERMINAL_ADDRESS), "12345678");
    EXPECT_EQ(Dev().GetText(IDC_DEV_BAUD_RATE), "4800");
    EXPECT_EQ(Dev().GetText(LimitEditIds[7].humidityUpper), "99.9"); // control 1093

    auto* login = Dev<QLineEdit>(IDC_DEV_LOGIN_INTERVAL);
    login->selectAll();
    QTest::keyClicks(login, "7");
    Dev<QComboBox>(IDC_DEV_PARITY)->setCurrentIndex(2); // EVEN
    ModalWatcher watcher;
    Dev<QPushButton>(IDC_DEV_WRITE)->click();
    ASSERT_TRUE(WaitForLog("的设备参数已写入\r\n"));
    EXPECT_EQ(Main().GetText(IDC_INFO).rfind(Cp936("设置参数... \r\n下载设备参数成功！\r\n读回确认：设备 "), 0), 0u);
    EXPECT_TRUE(watcher.Dialogs().empty());

    login->setText("9");
    Dev<QPushButton>(IDC_DEV_READ)->click();
    ASSERT_TRUE(WaitForLog("读取设备参数成功！\r\n"));
    EXPECT_EQ(Dev().GetText(IDC_DEV_LOGIN_INTERVAL), "7");
    EXPECT_EQ(Dev().GetSel(IDC_DEV_PARITY), 2);
    Screenshot("dev-filled.png", 1);
}

} // namespace
} // namespace vornik::test

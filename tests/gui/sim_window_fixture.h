// The window beside the simulator and vornikctl, all on loopback: two devices
// (02-00-00-00-00-01 at 10.9.0.7, 02-00-00-00-00-02) once ReadFirstDevice
// starts them, and a scratch folder of the test's own.
#pragma once

#include <QPushButton>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli_process.h"
#include "gui_fixture.h"
#include "ops/control_ids.h"
#include "pages/report_list.h"

namespace vornik::test {

class SimWindowTest : public RecordedWindowTest {
protected:
    explicit SimWindowTest(const std::string& name)
        : m_dir(std::filesystem::temp_directory_path() / ("vornik-" + name + "-" + std::to_string(::getpid())))
    {
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    ~SimWindowTest() override { std::filesystem::remove_all(m_dir); }

    void TearDown() override
    {
        m_sim.reset();
        WindowTest::TearDown();
    }

    // vornikctl on the window's port, from another loopback address, with the
    // window's history when it keeps one.
    RunResult Vornikctl(std::vector<std::string> args)
    {
        std::vector<std::string> all{"--port",  std::to_string(m_config.port), "--broadcast", "127.255.255.255",
                                     "--bind",  "127.0.0.3", "--interval", "0.2", "-q"};
        if (!m_historyPath.empty()) all.insert(all.end(), {"--history", m_historyPath});
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(VORNIKCTL_PATH, all);
    }

    // Both pages filled from the device with MAC 02-00-00-00-00-01 (of two),
    // as an operator does it: search, double-click, "读取设备参数". Its list
    // row is m_row.
    void ReadFirstDevice()
    {
        m_sim = std::make_unique<SimProcess>(LoopbackSimArgs(
            m_config.port, {"--devices", "2", "--base-ip", "10.9.0.7", "--base-mac", "02-00-00-00-00-01"}));
        ASSERT_TRUE(m_sim->Ready());
        Main<QPushButton>(IDC_SEARCH)->click();
        CReportList& list = Window().DeviceList();
        ASSERT_TRUE(WaitFor([&] { return list.RowCount() >= 2; }));
        Settle();
        m_row = 0;
        while (Main().GetCell(IDC_DEVICE_LIST, m_row, COL_MAC) != "020000000001") ++m_row;
        const QPoint at = list.RowRect(m_row).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, at);
        ASSERT_TRUE(WaitFor([&] { return Net().GetText(IDC_NET_IP_ADDRESS) == "10.9.0.7"; }));
        Dev<QPushButton>(IDC_DEV_READ)->click();
        ASSERT_TRUE(WaitFor([&] { return Window().Ops().DeviceParamsRead(); }));
        Settle();
    }

    std::unique_ptr<SimProcess> m_sim;
    std::filesystem::path m_dir;
    int m_row = 0;
};

} // namespace vornik::test

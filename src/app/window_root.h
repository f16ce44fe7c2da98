// The window's wiring, written once: the state of the run, the reference the
// link reaches the window through, the link and the main window, made in the
// order each needs the one before and undone in reverse. The program, the
// tests, the benchmark and the demo walk all open the window through it, so
// they run it wired as it ships.
//
//   WindowRoot root(LinkConfigFromEnvironment(), &record);
//   root.Window().OnInitDialog();
//   root.Window().exec();
#pragma once

#include <optional>

#include "app/datagram_pump.h"
#include "app/main_window_ref.h"
#include "history/store_file.h"
#include "app/setup_dlg.h"
#include "link/udp_link.h"
#include "ops/device_ops.h"

namespace vornik {

class PacketCapture;

class WindowRoot {
public:
    // With a record, the record sees all the link's traffic from the start
    // and the window's "保存数据包记录..." saves it; the record must outlive
    // this. The host's addresses the window shows come from config too.
    // The window records its reads and writes in the settings history at
    // historyPath (empty: nowhere).
    explicit WindowRoot(LinkConfig config, PacketCapture* record = nullptr, std::string historyPath = {});
    // The receive side ends before the window it posts to.
    ~WindowRoot();

    WindowRoot(const WindowRoot&) = delete;
    WindowRoot& operator=(const WindowRoot&) = delete;

    CSetupDlg& Window() { return m_window; }
    UdpLink& Link() { return m_link; }
    MainWindowRef& MainWindow() { return m_mainWindow; }
    SetupState& State() { return m_state; }
    history::StoreFile& History() { return m_history; }

private:
    // In this order: the window holds the state, the reference and the link;
    // the link posts through the reference.
    SetupState m_state;
    history::StoreFile m_history;
    MainWindowRef m_mainWindow;
    AddressSource m_hostAddresses;
    UdpLink m_link;
    // Made once the window is (they act on its controls), and gone after it:
    // its controls call them to the end.
    std::optional<DeviceOps> m_ops;
    std::optional<DatagramPump> m_pump;
    CSetupDlg m_window;
};

} // namespace vornik

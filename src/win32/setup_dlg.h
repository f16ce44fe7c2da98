// The main window on Windows: dialog 102 with the local-host group, the
// device list, the info prompt area and the tab control carrying the network
// page (137) and the device page (138), on the device operations of
// src/ops. It binds controls and shows what the operations say, nothing more.
//
//   CSetupDlg window(instance, options);
//   window.Create();
//   return window.Run();
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/store_file.h"
#include "link/datagram_queue.h"
#include "link/udp_link.h"
#include "ops/device_ops.h"
#include "win32/icon_button.h"
#include "win32/win32_control_ops.h"

namespace vornik {
class PacketCapture;
}

namespace vornik::win32 {

// The receive thread's wake-up: datagrams wait in the hand-over queue.
inline constexpr UINT WM_FRAME_RECEIVED = WM_USER + 10;
// A link message to show once the operation that sent has returned.
inline constexpr UINT WM_LINK_MESSAGE = WM_USER + 11;

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_SETUP = 102;
inline constexpr int IDD_NET_PAGE = 137;
inline constexpr int IDD_DEV_PAGE = 138;
inline constexpr int IDD_HISTORY = 140;
inline constexpr UINT IDM_ABOUTBOX = 0x0010;
// The right-click menu's own commands.
inline constexpr UINT IDM_HISTORY = 0x0100;
inline constexpr UINT IDM_EXPORT = 0x0110;
inline constexpr UINT IDM_IMPORT = 0x0120;
inline constexpr UINT IDM_SAVE_RECORD = 0x0130;
inline constexpr UINT IDM_CLOSE = 0x0140;
inline constexpr UINT IDM_DROPPED = 0x0150;
inline constexpr UINT IDM_NOT_LISTED = 0x0160;

class CSetupDlg {
public:
    struct Options {
        LinkConfig link;
        PacketCapture* record = nullptr; // outlives the window; "保存数据包记录..." saves it
        std::string historyPath;          // empty: no history
        bool firewallHint = true;         // an empty search names the firewall rule
    };
    // A menu shown at a point: the command chosen, 0 for none. Tests put in their own.
    using MenuTracker = std::function<UINT(HMENU menu, POINT at)>;

    CSetupDlg(HINSTANCE instance, Options options);
    // The receive side ends before the window it posts to.
    ~CSetupDlg();
    CSetupDlg(const CSetupDlg&) = delete;
    CSetupDlg& operator=(const CSetupDlg&) = delete;

    // Creates the window (not yet shown) and runs the start-up; without
    // startLink the link stays unstarted. False when the window is not made.
    bool Create(bool startLink = true);
    // Shows the window and runs its messages until it is closed.
    int Run();
    // What the loop does with one message before the dialog manager: the
    // window's keys. True when it was taken.
    bool PreTranslate(MSG& message);
    // One message as the loop handles it.
    void Dispatch(MSG& message);
    bool Closed() const { return m_closed; }

    HWND Hwnd() const { return m_hwnd; }
    HWND NetPage() const { return m_net.Dialog(); }
    HWND DevPage() const { return m_dev.Dialog(); }
    Win32ControlOps& MainControls() { return m_main; }
    Win32ControlOps& NetControls() { return m_net; }
    Win32ControlOps& DevControls() { return m_dev; }
    DeviceOps& Ops() { return *m_ops; }
    UdpLink& Link() { return m_link; }
    DatagramQueue& Queue() { return m_queue; }
    CIconButton& IconButton(size_t index) { return m_iconButtons.at(index); }
    void SetMenuTracker(MenuTracker tracker) { m_trackMenu = std::move(tracker); }

    // The right-click menu for list row `row` (-1: none), as it opens; the caller destroys it.
    HMENU BuildMenu(int row) const;
    void RunMenuCommand(UINT command, int row);
    void OnSysCommandAbout();
    // Selects a tab as a click on it does, and shows its page.
    void SelectTab(int index);
    // --screenshot DIR: the window with each page as PNGs (windows-net.png,
    // windows-dev.png), before any traffic; false when one is not written.
    bool WriteScreenshots(const std::wstring& directory);
    // "导出参数...", "导入参数...", "保存数据包记录..." on a named file; false on failure (said in a box).
    bool ExportSettings(const std::wstring& path);
    bool ImportSettings(const std::wstring& path);
    bool SavePacketRecord(const std::wstring& path);
    // "历史记录..." for the device in list row `row`.
    void ShowHistory(int row);

private:
    static INT_PTR CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMainMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnPageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(bool startLink);
    void OnDatagramsWaiting();
    void OnTabSelChange();
    INT_PTR OnNotify(const NMHDR* header);
    void ShowMenu(int row, POINT at);
    void ShowLinkMessages();
    void OnClose();

    HINSTANCE m_instance;
    Options m_options;
    // In this order: the state, the history and the hand-over before the
    // link that feeds them; the controls before the operations on them.
    SetupState m_state;
    history::StoreFile m_history;
    DatagramQueue m_queue;
    std::atomic<HWND> m_postTo{nullptr}; // read on the receive thread
    std::vector<std::string> m_linkMessages; // code page 936, waiting to be shown
    UdpLink m_link;
    Win32ControlOps m_main, m_net, m_dev;
    std::optional<DeviceOps> m_ops;
    std::array<CIconButton, 2> m_iconButtons;
    std::vector<Datagram> m_batch; // the datagrams in hand, kept for their buffers
    MenuTracker m_trackMenu;
    HWND m_hwnd = nullptr;
    HWND m_tab = nullptr;
    HICON m_icon = nullptr;
    HICON m_smallIcon = nullptr;
    bool m_closed = false;
};

} // namespace vornik::win32

// The main window: the local-host group, the device list, the info prompt
// area and the tab control with the two parameter pages.
#pragma once

#include <QDialog>
#include <QIcon>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/datagram_pump.h"
#include "app/main_window_ref.h"
#include "link/udp_link.h"
#include "ops/device_ops.h"
#include "pages/dev_param_page.h"
#include "pages/net_param_page.h"
#include "pages/qt_control_ops.h"
#include "pages/report_list.h"

class QMenu;
class QAction;
class CIconButton;

namespace vornik {

class DeviceListDiagnostics;
class PacketCapture;
class CInfoEdit;
class CTabCtrl;
class CSetupDlg;
namespace history {
class StoreFile;
}

class CSetupDlg : public QDialog, public QtControlOps {
public:
    // hostAddresses gives the address shown as this host's (empty: the
    // system's); the link is the one its datagrams and messages come from.
    CSetupDlg(UdpLink& link, MainWindowRef& mainWindow, AddressSource hostAddresses = {});
    // From here on the reference posts to no one. Whoever owns the link stops
    // it first: its thread must not post to a window that is going.
    ~CSetupDlg() override;
    // The operations its controls run and the pump that hands it datagrams,
    // made by the owner once the window is; both outlive it. Creates the controls.
    void Attach(DeviceOps& ops, DatagramPump& pump);

    // The start-up sequence; without startLink the link stays unstarted.
    void OnInitDialog(bool startLink = true);
    // WM_FRAME_RECEIVED: one datagram, on the window's thread.
    void OnFrameReceived(const Datagram& datagram);
    // The wake-up of the hand-over: the pump gives the waiting datagrams to
    // OnFrameReceived in order, a slice of time at a time.
    void OnDatagramsWaiting() { m_pump->Run(); }
    // Datagrams the hand-over dropped because its queue was full.
    uint64_t DroppedDatagrams() const;
    // Search replies the full device list did not take since the last search.
    uint64_t RepliesNotListed() const;
    void OnSysCommandAbout();

    // Diagnostics beside the specified behaviour (setup_dlg_diag.cpp).
    // The record "保存数据包记录..." saves; without one the item is disabled.
    // Set before OnInitDialog.
    void SetPacketCapture(PacketCapture* capture) { m_capture = capture; }
    // Writes the record to path; a failure is shown in a message box.
    bool SavePacketRecord(const QString& path);
    // "导出参数...": what the two pages show, as the settings file that
    // vornikctl export writes, each block with the device (MAC and IP) it was
    // read from; a block no device filled is left out, and with neither the
    // export is refused. "导入参数...": such a file into the pages, sending
    // nothing; fields the file leaves out keep what the pages show, and a
    // whole device block opens "配置设备参数". A file that does not read, or
    // a value out of range, is named in a message box by the field's label
    // and leaves both pages as they were. Both give false on failure.
    bool ExportSettings(const QString& path);
    bool ImportSettings(const QString& path);
    DeviceListDiagnostics& ListDiagnostics() { return *m_listDiagnostics; }
    // The settings history the window records its reads and writes in, which
    // the list's right-click "历史记录..." shows (none: neither). Set before
    // OnInitDialog.
    void SetHistory(history::StoreFile* history);
    // "历史记录..." for the device in list row `row`: the history dialog, or
    // a box saying why the history cannot be read.
    void ShowHistory(int row);
    // The list's right-click menu for a row (-1: none), as it is about to open.
    QMenu* DeviceListMenu(int row);

    DeviceOps& Ops() { return *m_ops; }
    CNetParamPage& NetPage() { return m_netPage; }
    CDevParamPage& DevPage() { return m_devPage; }
    CTabCtrl& Tab() { return *m_tab; }
    CReportList& DeviceList() { return *m_deviceList; }
    QMenu* SystemMenu() const { return m_systemMenu; }
    CIconButton* IconButton(int index) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void UpdateDroppedEntry();
    void OnTabSelChange();
    void AddDiagnosticsMenuItems();
    void OnSavePacketRecord();
    void OnExportSettings();
    void OnImportSettings();

    CTabCtrl* m_tab = nullptr;
    std::array<std::unique_ptr<CIconButton>, 2> m_iconButtons;
    CReportList* m_deviceList = nullptr;
    CInfoEdit* m_info = nullptr;
    QIcon m_icon;
    CNetParamPage m_netPage;
    CDevParamPage m_devPage;
    QMenu* m_systemMenu = nullptr;
    QAction* m_droppedEntry = nullptr;
    QAction* m_notListedEntry = nullptr;

    UdpLink& m_link;
    MainWindowRef& m_mainWindow;
    AddressSource m_hostAddresses;
    DeviceOps* m_ops = nullptr;
    DatagramPump* m_pump = nullptr;

    PacketCapture* m_capture = nullptr;
    history::StoreFile* m_history = nullptr;
    QMenu* m_listMenu = nullptr;
    DeviceListDiagnostics* m_listDiagnostics = nullptr; // owned by the list
};

} // namespace vornik

// The main window: the local-host group, the device list, the info prompt
// area and the tab control with the two parameter pages.
#pragma once

#include <QDialog>
#include <QIcon>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/udp_link.h"
#include "ops/device_ops.h"
#include "pages/dev_param_page.h"
#include "pages/net_param_page.h"
#include "pages/qt_control_ops.h"

class QMenu;
class QTreeWidget;
class CIconButton;

namespace vornik {

class CInfoEdit;
class CTabCtrl;
class CSetupDlg;

// The one main window, from start-up step 13 until it is destroyed. Replies
// reach it through this reference.
extern std::atomic<CSetupDlg*> MainWindow;

// The link's hand-over ends: each datagram is posted to the window's thread
// and dispatched there; link messages are shown as boxes of the main window.
UdpLink::DatagramSink PostToMainWindow();
UdpLink::MessageSink ShowOnMainWindow();

class CSetupDlg : public QDialog, public QtControlOps {
public:
    // hostAddresses gives the address shown as this host's (empty: the
    // system's); the link is the one its datagrams and messages come from.
    CSetupDlg(SetupState& state, UdpLink& link, AddressSource hostAddresses = {});
    ~CSetupDlg() override;

    // The start-up sequence; without startLink the link stays unstarted.
    void OnInitDialog(bool startLink = true);
    // WM_FRAME_RECEIVED: one datagram, on the window's thread.
    void OnFrameReceived(const std::vector<uint8_t>& datagram);
    void OnSysCommandAbout();

    DeviceOps& Ops() { return m_ops; }
    CNetParamPage& NetPage() { return m_netPage; }
    CDevParamPage& DevPage() { return m_devPage; }
    CTabCtrl& Tab() { return *m_tab; }
    QTreeWidget& DeviceList() { return *m_deviceList; }
    QMenu* SystemMenu() const { return m_systemMenu; }
    CIconButton* IconButton(int index) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void OnTabSelChange();

    CTabCtrl* m_tab = nullptr;
    std::array<std::unique_ptr<CIconButton>, 2> m_iconButtons;
    QTreeWidget* m_deviceList = nullptr;
    CInfoEdit* m_info = nullptr;
    QIcon m_icon;
    CNetParamPage m_netPage;
    CDevParamPage m_devPage;
    QMenu* m_systemMenu = nullptr;

    UdpLink& m_link;
    AddressSource m_hostAddresses;
    DeviceOps m_ops;
};

} // namespace vornik

#include "app/setup_dlg.h"

#include <QCoreApplication>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include "app/about_dlg.h"
#include "app/device_list_diag.h"
#include "app/history_dlg.h"
#include "history/store_file.h"
#include "app/info_edit.h"
#include "app/tab_ctrl.h"
#include "controls/CIconButton.h"
#include "ops/control_ids.h"
#include "proto/net_params.h"
#include "pages/cp936.h"
#include "pages/dialog_builder.h"
#include "pages/dialog_units.h"
#include "layout/dialogs.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace vornik {

namespace {

using layout::kButtonIconSize;
using layout::kPageInsetBottom;
using layout::kPageInsetLeft;
using layout::kPageInsetRight;
using layout::kPageInsetTop;
constexpr int kAppIcon = layout::IDR_MAINFRAME;
constexpr int kWriteIcon = layout::IDI_WRITE;
constexpr int kDefaultsIcon = layout::IDI_DEFAULTS;

} // namespace

CSetupDlg::CSetupDlg(UdpLink& link, MainWindowRef& mainWindow, AddressSource hostAddresses)
    : QDialog(nullptr),
      QtControlOps(this),
      m_icon(QStringLiteral(":/icon/%1").arg(kAppIcon)),
      m_link(link),
      m_mainWindow(mainWindow),
      m_hostAddresses(std::move(hostAddresses))
{
    setWindowTitle(QCoreApplication::translate("vornik::layout", layout::MainDialog().title.c_str()));
    // Caption and system menu; no minimise or maximise box; a fixed frame.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(DialogFont());
    const DialogUnits du = DialogUnits::FromFont(font());
    setFixedSize(du.X(layout::MainDialog().width), du.Y(layout::MainDialog().height));
}

void CSetupDlg::Attach(DeviceOps& ops, DatagramPump& pump)
{
    m_ops = &ops;
    m_pump = &pump;
    CreateControls();
    // A silent device or an empty search is said within a quarter of a
    // second of its time running out.
    auto* answers = new QTimer(this);
    connect(answers, &QTimer::timeout, this, [this] { m_ops->CheckAnswers(); });
    answers->start(250);
}

CSetupDlg::~CSetupDlg() { m_mainWindow.Clear(this); }

void CSetupDlg::CreateControls()
{
    DialogBuilder b(this, *this);
    const layout::Dialog& dialog = layout::MainDialog();
    const std::vector<QWidget*> built = b.Build(dialog, [this](const layout::Control& c) -> QWidget* {
        switch (c.id) {
        case IDC_DEVICE_LIST:
            m_deviceList = new CReportList(this);
            return m_deviceList;
        case IDC_INFO:
            m_info = new CInfoEdit(this);
            return m_info;
        case IDC_TAB:
            m_tab = new CTabCtrl(this);
            return m_tab;
        default: throw std::logic_error("no control " + std::to_string(c.id) + " in the main window");
        }
    });
    m_deviceList->setRootIsDecorated(false);
    m_deviceList->setItemsExpandable(false);
    m_deviceList->setUniformRowHeights(true);
    m_deviceList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_deviceList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_deviceList->setSortingEnabled(false);
    m_listDiagnostics = new DeviceListDiagnostics(m_deviceList);

    // The tab control takes the keyboard on its tabs.
    std::vector<QWidget*> order = DialogBuilder::TabStops(dialog, built);
    std::replace(order.begin(), order.end(), static_cast<QWidget*>(m_tab), static_cast<QWidget*>(m_tab->Bar()));
    DialogBuilder::SetTabOrder(order);
    auto* search = static_cast<QPushButton*>(Control(IDC_SEARCH));

    connect(search, &QPushButton::clicked, this, [this] { m_ops->SearchDevices(); });
    // A double-click anywhere in the list; the operation looks at the selection.
    m_deviceList->viewport()->installEventFilter(this);
    // Enter or Space on a row reads it, as a double-click does.
    m_deviceList->installEventFilter(this);
    m_deviceList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_deviceList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The row under the pointer; from the keyboard's menu key, the row with the focus.
        QModelIndex index = m_deviceList->indexAt(at);
        QPoint where = at;
        if (!index.isValid() && m_deviceList->currentIndex().isValid()) {
            index = m_deviceList->currentIndex();
            where = m_deviceList->visualRect(index).center();
        }
        const int row = index.isValid() ? m_deviceList->Rows().LogicalRow(index.row()) : -1;
        DeviceListMenu(row)->popup(m_deviceList->viewport()->mapToGlobal(where));
    });
    connect(m_tab->Bar(), &QTabBar::currentChanged, this, [this] { OnTabSelChange(); });
}

void CSetupDlg::OnInitDialog(bool startLink)
{
    // The about item where the system menu would carry it: X11 and Wayland
    // keep the window manager's menu out of a program's reach.
    m_systemMenu = new QMenu(this);
    QAction* close = m_systemMenu->addAction(QCoreApplication::translate("CSetupDlg", "关闭(&C)"));
    close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(close, &QAction::triggered, this, &QWidget::close);
    m_systemMenu->addSeparator();
    // Replies dropped under a flood, for the operator to see: an informational
    // entry between the menu's own items, which keep their places (关闭 first,
    // 关于 last after a separator).
    m_droppedEntry = m_systemMenu->addAction(QString());
    m_droppedEntry->setEnabled(false);
    // And those the device list no longer took, once it was full.
    m_notListedEntry = m_systemMenu->addAction(QString());
    m_notListedEntry->setEnabled(false);
    m_systemMenu->addSeparator();
    connect(m_systemMenu, &QMenu::aboutToShow, this, [this] { UpdateDroppedEntry(); });
    UpdateDroppedEntry();
    QAction* about = m_systemMenu->addAction(QCoreApplication::translate("CSetupDlg", "关于 Vornik_Setup(&A)..."));
    connect(about, &QAction::triggered, this, [this] { OnSysCommandAbout(); });
    AddDiagnosticsMenuItems();

    setWindowIcon(m_icon);

    // Column widths are shares of the client width, fixed once here.
    m_deviceList->ensurePolished();
    const int client = m_deviceList->maximumViewportSize().width();
    m_deviceList->setHeaderLabels(
        {QCoreApplication::translate("CSetupDlg", "设备IP"), QCoreApplication::translate("CSetupDlg", "设备名称"), QCoreApplication::translate("CSetupDlg", "MAC地址"), QCoreApplication::translate("CSetupDlg", "固件版本")});
    QHeaderView* header = m_deviceList->header();
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsMovable(false);
    const int widths[] = {client * 3 / 11, client * 3 / 11, client * 3 / 11, client * 2 / 11};
    for (int column = 0; column < 4; ++column) m_deviceList->setColumnWidth(column, widths[column]);

    m_ops->ShowWelcome();

    {
        // Inserting the first tab selects it; the pages do not exist yet, and
        // showing a parentless page would open a window of its own.
        const QSignalBlocker quiet(m_tab->Bar());
        m_tab->InsertItem(0, QCoreApplication::translate("CSetupDlg", "网络参数"));
        m_tab->InsertItem(1, QCoreApplication::translate("CSetupDlg", "设备参数"));
    }

    // The icon buttons attach to controls of the network page, so it comes first.
    m_netPage.Create(m_tab, *m_ops);
    m_devPage.Create(m_tab, *m_ops);
    const struct {
        int control;
        int icon;
    } iconButtons[] = {{IDC_NET_WRITE, kWriteIcon}, {IDC_NET_DEFAULTS, kDefaultsIcon}};
    for (size_t i = 0; i < m_iconButtons.size(); ++i) {
        m_iconButtons[i] = std::make_unique<CIconButton>();
        m_iconButtons[i]->AttachToButton(iconButtons[i].control, &m_netPage);
        m_iconButtons[i]->LoadIcons(iconButtons[i].icon, kButtonIconSize, kButtonIconSize);
        m_iconButtons[i]->SetFlatLook(false);
        m_iconButtons[i]->SetImageAlignment(CIconButton::ICON_ALIGN_HORIZONTAL);
    }

    // Both pages fill the tab control's client area, clear of the tabs.
    const QRect pages = m_tab->ClientRect().adjusted(kPageInsetLeft, kPageInsetTop, -kPageInsetRight,
                                                     -kPageInsetBottom);
    m_netPage.setGeometry(pages);
    m_devPage.setGeometry(pages);

    m_netPage.show();
    m_devPage.hide();
    m_tab->SetCurSel(0);

    m_ops->SetStartupValues();

    m_deviceList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_deviceList->setAllColumnsShowFocus(true);

    // From here on received datagrams reach this window.
    m_mainWindow.Set(this);

    // Failures of the link start are shown and passed over: the window opens anyway.
    if (startLink) m_link.Start();

    // The edit stays empty on a host without an address.
    const std::vector<uint32_t> addresses = m_hostAddresses ? m_hostAddresses() : HostIPv4Addresses();
    if (!addresses.empty()) SetText(IDC_LOCAL_IP, FormatDottedQuad(addresses.front()));

    // The device write waits for a first read.
    m_ops->CloseDeviceWrite();
}

void CSetupDlg::SetHistory(history::StoreFile* history)
{
    m_history = history && history->Enabled() ? history : nullptr;
    m_ops->SetHistory(m_history);
}

QMenu* CSetupDlg::DeviceListMenu(int row)
{
    // The window's own items stay reachable from the list, below the row's.
    delete m_listMenu;
    m_listMenu = new QMenu(this);
    QAction* history = m_listMenu->addAction(QCoreApplication::translate("CSetupDlg", "历史记录..."));
    history->setEnabled(row >= 0 && m_history);
    connect(history, &QAction::triggered, this, [this, row] { ShowHistory(row); });
    if (m_systemMenu) {
        m_listMenu->addSeparator();
        m_listMenu->addActions(m_systemMenu->actions());
    }
    return m_listMenu;
}

void CSetupDlg::ShowHistory(int row)
{
    const std::optional<DeviceRow> device = DeviceRowAt(IDC_DEVICE_LIST, row);
    if (!device || !m_history) return;
    const QString caption = QCoreApplication::translate("CSetupDlg", "历史记录");
    auto opened = m_history->Open();
    if (auto* why = std::get_if<std::string>(&opened)) {
        QMessageBox::warning(this, caption, QCoreApplication::translate("CSetupDlg", "无法读取历史记录：") + QString::fromStdString(*why));
        return;
    }
    CHistoryDlg dialog(this, device->mac, *std::get<history::Store*>(opened), *m_ops);
    if (const auto& why = dialog.Failure()) {
        QMessageBox::warning(this, caption, QCoreApplication::translate("CSetupDlg", "无法读取历史记录：") + QString::fromStdString(*why));
        return;
    }
    dialog.exec();
}

CIconButton* CSetupDlg::IconButton(int index) const { return m_iconButtons.at(size_t(index)).get(); }

void CSetupDlg::OnFrameReceived(const Datagram& datagram)
{
    m_ops->DispatchFrame(datagram.bytes, ReplyOrigin{datagram.sourceAddress, datagram.sourcePort, datagram.localAddress});
}

uint64_t CSetupDlg::DroppedDatagrams() const { return m_mainWindow.Queue().Dropped(); }

uint64_t CSetupDlg::RepliesNotListed() const { return m_ops ? m_ops->RepliesNotListed() : 0; }

void CSetupDlg::UpdateDroppedEntry()
{
    if (m_droppedEntry)
        m_droppedEntry->setText(QCoreApplication::translate("CSetupDlg", "丢弃的数据报：%1").arg(qulonglong(DroppedDatagrams())));
    if (m_notListedEntry)
        m_notListedEntry->setText(QCoreApplication::translate("CSetupDlg", "未列出的搜索回复：%1").arg(qulonglong(RepliesNotListed())));
}

void CSetupDlg::OnTabSelChange()
{
    switch (m_tab->GetCurSel()) {
    case 0:
        m_netPage.show();
        m_devPage.hide();
        break;
    case 1:
        m_netPage.hide();
        m_devPage.show();
        break;
    default:
        break;
    }
}

void CSetupDlg::OnSysCommandAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CSetupDlg::closeEvent(QCloseEvent* event)
{
    // The endpoints go with the window; the receive side stops after the run.
    m_link.CloseEndpoints();
    QDialog::closeEvent(event);
}

void CSetupDlg::keyPressEvent(QKeyEvent* event)
{
    // Nothing typed into the pages may be lost to a stray key: Enter and Esc
    // never end the run (it ends through the close button, Alt+F4 and 关闭).
    // The buttons are not auto-default, so Enter on a focused one arrives
    // here and presses it, as on any dialog button.
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled())
            button->click();
        return;
    }
    if (plain && event->key() == Qt::Key_Escape) return;
    // The menu, as the guide says: it carries the about box and everything a
    // right-click offers to a keyboard without a menu key.
    if (plain && event->key() == Qt::Key_F1) {
        if (m_systemMenu) {
            QWidget* at = focusWidget() ? focusWidget() : this;
            m_systemMenu->popup(at->mapToGlobal(at->rect().center()));
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void CSetupDlg::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_systemMenu) m_systemMenu->exec(event->globalPos());
}

bool CSetupDlg::eventFilter(QObject* watched, QEvent* event)
{
    // Anywhere in the list, on a row or not: the operation looks at the selection.
    if (watched == m_deviceList->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        m_ops->OnDeviceListDoubleClick();
    if (watched == m_deviceList && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = key->modifiers() == Qt::NoModifier ||
                           (key->modifiers() == Qt::KeypadModifier && key->key() == Qt::Key_Enter);
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space)) {
            // The row with the keyboard focus is the one read, selected or not yet.
            const QModelIndex current = m_deviceList->currentIndex();
            if (current.isValid())
                m_deviceList->selectionModel()->select(
                    current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            m_ops->OnDeviceListDoubleClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vornik

#include "win32/setup_dlg.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <chrono>
#include <cstdio>

#include "history/history.h"
#include "link/packet_capture.h"
#include "ops/device_history.h"
#include "ops/control_ids.h"
#include "ops/link_texts.h"
#include "ops/settings_files.h"
#include "ops/texts.h"
#include "proto/file_name.h"
#include "proto/net_params.h"
#include "win32/history_dlg.h"
#include "layout/dialogs.h"
#include "win32/screenshot.h"
#include "win32/wide_text.h"

namespace vornik::win32 {

namespace {

using layout::kButtonIconSize;
using layout::kPageInsetBottom;
using layout::kPageInsetLeft;
using layout::kPageInsetRight;
using layout::kPageInsetTop;
constexpr int kAppIcon = layout::IDR_MAINFRAME;
constexpr int kWriteIcon = layout::IDI_WRITE;
constexpr int kDefaultsIcon = layout::IDI_DEFAULTS;

// A silent device or an empty search is said within a quarter of a second.
constexpr UINT_PTR kAnswerTimer = 1;
constexpr UINT kAnswerTimerMs = 250;


bool IsWithin(HWND window, HWND ancestor) { return window == ancestor || IsChild(ancestor, window); }

std::wstring ClassOf(HWND window)
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return name;
}

std::wstring FileDialog(HWND owner, bool save, const wchar_t* title, const wchar_t* filter,
                        const std::wstring& suggested, const wchar_t* extension)
{
    wchar_t path[MAX_PATH * 4] = {};
    lstrcpynW(path, suggested.c_str(), MAX_PATH * 4);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH * 4;
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = extension;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    return chosen ? std::wstring(path) : std::wstring();
}

// Put in place whole or not at all: a full disk leaves the previous file as it was.
bool WriteWhole(const std::wstring& path, const std::string& bytes)
{
    const std::wstring partial = path + L".partial";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool whole = true;
    for (size_t at = 0; whole && at < bytes.size();) {
        DWORD wrote = 0;
        whole = WriteFile(file, bytes.data() + at, DWORD(bytes.size() - at), &wrote, nullptr) && wrote > 0;
        at += wrote;
    }
    whole = FlushFileBuffers(file) && whole;
    CloseHandle(file);
    if (whole && MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(partial.c_str());
    return false;
}

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

LRESULT CALLBACK TypedInUpperCase(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_CHAR) wParam = WPARAM(CharUpperW(reinterpret_cast<LPWSTR>(wParam)));
    return DefSubclassProc(edit, message, wParam, lParam);
}

} // namespace

CSetupDlg::CSetupDlg(HINSTANCE instance, Options options)
    : m_instance(instance),
      m_options(std::move(options)),
      m_history(m_options.historyPath, WindowHistoryOptions()),
      m_link(Recorded(m_options.link, m_options.record),
             [this](const LinkError& error) {
                 // Shown once the operation that sent has returned: a box runs
                 // a message loop of its own, and replies handled inside it
                 // would meet an operation half done.
                 m_linkMessages.push_back(LinkErrorText936(error));
                 if (m_hwnd) PostMessageW(m_hwnd, WM_LINK_MESSAGE, 0, 0);
             },
             [this](Datagram datagram) {
                 const HWND window = m_postTo.load();
                 if (window && m_queue.Push(std::move(datagram)))
                     PostMessageW(window, WM_FRAME_RECEIVED, 0, 0);
             })
{
    m_ops.emplace(m_state, m_main, m_net, m_dev, m_link);
    m_ops->SetFirewallHint(m_options.firewallHint);
}

CSetupDlg::~CSetupDlg()
{
    // The one place the link stops: before the window its thread posts to goes.
    m_link.Stop();
    m_postTo.store(nullptr);
    if (m_hwnd && IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
    if (m_icon) DestroyIcon(m_icon);
    if (m_smallIcon) DestroyIcon(m_smallIcon);
}

bool CSetupDlg::Create(bool startLink)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    m_hwnd = CreateDialogParamW(m_instance, MAKEINTRESOURCEW(IDD_SETUP), nullptr, MainProc, LPARAM(this));
    if (!m_hwnd) return false;
    OnInitDialog(startLink);
    return true;
}

int CSetupDlg::Run()
{
    ShowWindow(m_hwnd, SW_SHOW);
    MSG message;
    while (!m_closed && GetMessageW(&message, nullptr, 0, 0) > 0) Dispatch(message);
    return 0;
}

void CSetupDlg::Dispatch(MSG& message)
{
    if (PreTranslate(message)) return;
    if (m_hwnd && IsDialogMessageW(m_hwnd, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

bool CSetupDlg::PreTranslate(MSG& message)
{
    if (!m_hwnd || message.message != WM_KEYDOWN || !IsWithin(message.hwnd, m_hwnd)) return false;
    const bool plain = GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0 && GetKeyState(VK_SHIFT) >= 0;
    if (!plain) return false;
    HWND list = m_main.Control(IDC_DEVICE_LIST);
    switch (message.wParam) {
    case VK_F1: {
        // The menu, as the guide says: it carries the about box and everything
        // a right-click offers to a keyboard without a menu key.
        RECT at{};
        GetWindowRect(message.hwnd, &at);
        ShowMenu(message.hwnd == list ? m_main.FirstSelectedRow(IDC_DEVICE_LIST) : -1,
                 {(at.left + at.right) / 2, (at.top + at.bottom) / 2});
        return true;
    }
    case VK_RETURN:
        // Enter on a row reads it, as a double-click does; on a button, it
        // presses the button; nowhere does it end the run.
        if (message.hwnd == list) {
            const int focused = int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
            if (focused >= 0) {
                LVITEMW select{};
                select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
                select.state = LVIS_SELECTED | LVIS_FOCUSED;
                SendMessageW(list, LVM_SETITEMSTATE, WPARAM(focused), LPARAM(&select));
            }
            m_ops->OnDeviceListDoubleClick();
            return true;
        }
        if (ClassOf(message.hwnd) == L"Button" && IsWindowEnabled(message.hwnd)) {
            const LONG type = GetWindowLongW(message.hwnd, GWL_STYLE) & 0x1F;
            if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW) {
                SendMessageW(GetParent(message.hwnd), WM_COMMAND,
                             MAKEWPARAM(GetDlgCtrlID(message.hwnd), BN_CLICKED), LPARAM(message.hwnd));
                return true;
            }
        }
        // The multi-line info area takes its own new lines; elsewhere Enter does nothing.
        return !(ClassOf(message.hwnd) == L"Edit" && (GetWindowLongW(message.hwnd, GWL_STYLE) & ES_MULTILINE));
    case VK_ESCAPE:
        // Nothing typed into the pages may be lost to a stray key.
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK CSetupDlg::MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<CSetupDlg*>(lParam)->m_hwnd = hwnd;
        return FALSE;
    }
    auto* self = reinterpret_cast<CSetupDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->OnMainMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CALLBACK CSetupDlg::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return FALSE;
    }
    auto* self = reinterpret_cast<CSetupDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->OnPageMessage(hwnd, message, wParam, lParam) : FALSE;
}

void CSetupDlg::OnInitDialog(bool startLink)
{
    m_main.SetDialog(m_hwnd);
    m_main.SetOwner(m_hwnd);
    m_tab = m_main.Control(IDC_TAB);
    // The info area shows typed letters in upper case, but the log as the
    // operations wrote it: the edit's own upper-casing would change that too.
    if (HWND info = m_main.Control(IDC_INFO)) {
        SetWindowLongW(info, GWL_STYLE, GetWindowLongW(info, GWL_STYLE) & ~ES_UPPERCASE);
        SetWindowSubclass(info, TypedInUpperCase, 0, 0);
    }


    // The about item last in the system menu, after a separator.
    if (HMENU system = GetSystemMenu(m_hwnd, FALSE)) {
        wchar_t about[128] = {};
        if (LoadStringW(m_instance, IDS_ABOUTBOX, about, 128) > 0) {
            AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    m_icon = HICON(LoadImageW(m_instance, MAKEINTRESOURCEW(kAppIcon), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                              GetSystemMetrics(SM_CYICON), 0));
    m_smallIcon = HICON(LoadImageW(m_instance, MAKEINTRESOURCEW(kAppIcon), IMAGE_ICON,
                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, LPARAM(m_icon));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, LPARAM(m_smallIcon));

    // Column widths are shares of the client width, fixed once here.
    m_main.SetListColumns(IDC_DEVICE_LIST, {L"设备IP", L"设备名称", L"MAC地址", L"固件版本"}, {3, 3, 3, 2});
    m_ops->ShowWelcome();

    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"网络参数");
    SendMessageW(m_tab, TCM_INSERTITEMW, 0, LPARAM(&item));
    item.pszText = const_cast<wchar_t*>(L"设备参数");
    SendMessageW(m_tab, TCM_INSERTITEMW, 1, LPARAM(&item));
    // The keyboard goes through the tab control into the pages.
    SetWindowLongW(m_tab, GWL_EXSTYLE, GetWindowLongW(m_tab, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);

    m_net.SetDialog(CreateDialogParamW(m_instance, MAKEINTRESOURCEW(IDD_NET_PAGE), m_tab, PageProc, LPARAM(this)));
    m_dev.SetDialog(CreateDialogParamW(m_instance, MAKEINTRESOURCEW(IDD_DEV_PAGE), m_tab, PageProc, LPARAM(this)));
    m_net.SetOwner(m_hwnd);
    m_dev.SetOwner(m_hwnd);
    const struct {
        int control;
        int icon;
    } iconButtons[] = {{IDC_NET_WRITE, kWriteIcon}, {IDC_NET_DEFAULTS, kDefaultsIcon}};
    for (size_t i = 0; i < m_iconButtons.size(); ++i) {
        m_iconButtons[i].AttachToButton(iconButtons[i].control, NetPage());
        m_iconButtons[i].LoadIcons(iconButtons[i].icon, kButtonIconSize, kButtonIconSize);
        m_iconButtons[i].SetFlatLook(false);
        m_iconButtons[i].SetImageAlignment(0);
    }

    // Both pages fill the tab control's client area, clear of the tabs.
    RECT pages{};
    GetClientRect(m_tab, &pages);
    pages.left += kPageInsetLeft;
    pages.top += kPageInsetTop;
    pages.right -= kPageInsetRight;
    pages.bottom -= kPageInsetBottom;
    for (HWND page : {NetPage(), DevPage()})
        SetWindowPos(page, HWND_TOP, pages.left, pages.top, pages.right - pages.left, pages.bottom - pages.top, 0);
    ShowWindow(NetPage(), SW_SHOW);
    ShowWindow(DevPage(), SW_HIDE);
    SendMessageW(m_tab, TCM_SETCURSEL, 0, 0);

    m_net.FillDropDowns(settings::Block::Network);
    m_dev.FillDropDowns(settings::Block::Device);
    m_ops->SetStartupValues();

    HWND list = m_main.Control(IDC_DEVICE_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);

    if (m_history.Enabled()) m_ops->SetHistory(&m_history);
    SetTimer(m_hwnd, kAnswerTimer, kAnswerTimerMs, nullptr);

    // From here on received datagrams reach this window.
    m_queue.Reset();
    m_postTo.store(m_hwnd);
    // Failures of the link start are shown and passed over: the window opens anyway.
    if (startLink) m_link.Start();

    // The edit stays empty on a host without an address.
    const std::vector<uint32_t> addresses =
        m_options.link.hostAddresses ? m_options.link.hostAddresses() : HostIPv4Addresses();
    if (!addresses.empty()) m_main.SetText(IDC_LOCAL_IP, FormatDottedQuad(addresses.front()));

    // The device write waits for a first read.
    m_ops->CloseDeviceWrite();
}

INT_PTR CSetupDlg::OnMainMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_FRAME_RECEIVED:
        OnDatagramsWaiting();
        return TRUE;
    case WM_LINK_MESSAGE:
        ShowLinkMessages();
        return TRUE;
    case WM_TIMER:
        if (wParam == kAnswerTimer) m_ops->CheckAnswers();
        return TRUE;
    case WM_COMMAND:
        // IDOK and IDCANCEL (Enter, Esc) never end the run.
        if (LOWORD(wParam) == IDC_SEARCH && HIWORD(wParam) == BN_CLICKED) m_ops->SearchDevices();
        return TRUE;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            OnSysCommandAbout();
            return TRUE;
        }
        return FALSE;
    case WM_CONTEXTMENU: {
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (HWND(wParam) == m_main.Control(IDC_DEVICE_LIST)) return TRUE; // NM_RCLICK has it
        ShowMenu(-1, at);
        return TRUE;
    }
    case WM_CLOSE:
        OnClose();
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CSetupDlg::OnNotify(const NMHDR* header)
{
    LRESULT result = 0;
    if (header->idFrom == UINT_PTR(IDC_DEVICE_LIST)) {
        if (m_main.OnCustomDraw(header, result)) {
            SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
        if (header->code == NM_DBLCLK) {
            // Anywhere in the list, on a row or not: the operation looks at the selection.
            m_ops->OnDeviceListDoubleClick();
            return TRUE;
        }
        if (header->code == NM_RCLICK) {
            const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
            POINT at = click->ptAction;
            ClientToScreen(header->hwndFrom, &at);
            ShowMenu(click->iItem, at);
            return TRUE;
        }
    }
    if (header->idFrom == UINT_PTR(IDC_TAB) && header->code == TCN_SELCHANGE) {
        OnTabSelChange();
        return TRUE;
    }
    return FALSE;
}

INT_PTR CSetupDlg::OnPageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (page == NetPage()) {
            if (code == BN_CLICKED && id == IDC_NET_WRITE) m_ops->OnWriteNetworkParams();
            if (code == BN_CLICKED && id == IDC_NET_WRITE_MAC) m_ops->OnWriteMac();
            if (code == BN_CLICKED && id == IDC_NET_DEFAULTS) m_ops->OnFactoryDefaults();
            // A choice made by the user; selections set by the logic apply the rule themselves.
            if (code == CBN_SELCHANGE && id == IDC_NET_IP_MODE) m_ops->OnIpModeChanged();
        } else if (page == DevPage()) {
            if (code == BN_CLICKED && id == IDC_DEV_READ) m_ops->OnReadDeviceParams();
            if (code == BN_CLICKED && id == IDC_DEV_WRITE) m_ops->OnWriteDeviceParams();
        }
        return TRUE;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        for (CIconButton& button : m_iconButtons)
            if (button.Handle() == item->hwndItem) {
                button.DrawItem(*item);
                return TRUE;
            }
        return FALSE;
    }
    case WM_CTLCOLORBTN:
        // Nothing is painted behind the owner drawing.
        for (CIconButton& button : m_iconButtons)
            if (button.Handle() == HWND(lParam)) return INT_PTR(GetStockObject(NULL_BRUSH));
        return FALSE;
    default:
        return FALSE;
    }
}

void CSetupDlg::OnDatagramsWaiting()
{
    const auto handle = [this](const Datagram& d) {
        m_ops->DispatchFrame(d.bytes, ReplyOrigin{d.sourceAddress, d.sourcePort, d.localAddress});
    };
    // Nothing else posts until this comes back for the rest.
    if (HandOverSlice(m_queue, m_batch, handle)) PostMessageW(m_hwnd, WM_FRAME_RECEIVED, 0, 0);
}

void CSetupDlg::ShowLinkMessages()
{
    std::vector<std::string> messages;
    messages.swap(m_linkMessages);
    for (const std::string& text : messages) m_main.MessageBox(text);
}

void CSetupDlg::OnTabSelChange()
{
    switch (int(SendMessageW(m_tab, TCM_GETCURSEL, 0, 0))) {
    case 0:
        ShowWindow(NetPage(), SW_SHOW);
        ShowWindow(DevPage(), SW_HIDE);
        break;
    case 1:
        ShowWindow(NetPage(), SW_HIDE);
        ShowWindow(DevPage(), SW_SHOW);
        break;
    default:
        break;
    }
}

void CSetupDlg::SelectTab(int index)
{
    SendMessageW(m_tab, TCM_SETCURSEL, WPARAM(index), 0);
    OnTabSelChange();
}

bool CSetupDlg::WriteScreenshots(const std::wstring& directory)
{
    SetWindowPos(m_hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    bool ok = true;
    for (const auto& [tab, name] : {std::pair{0, L"windows-net.png"}, std::pair{1, L"windows-dev.png"}}) {
        SelectTab(tab);
        RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) Dispatch(message);
        ok = SaveWindowPng(m_hwnd, directory + L"\\" + name) && ok;
    }
    return ok;
}

void CSetupDlg::OnSysCommandAbout()
{
    DialogBoxParamW(m_instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), m_hwnd,
                    [](HWND about, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
                        if (message == WM_INITDIALOG) return TRUE;
                        if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
                            EndDialog(about, LOWORD(wParam));
                            return TRUE;
                        }
                        return FALSE;
                    },
                    0);
}

void CSetupDlg::OnClose()
{
    // The endpoints go with the window; the receive side stops after the run.
    m_link.CloseEndpoints();
    KillTimer(m_hwnd, kAnswerTimer);
    m_postTo.store(nullptr);
    ShowWindow(m_hwnd, SW_HIDE);
    m_closed = true;
}

HMENU CSetupDlg::BuildMenu(int row) const
{
    HMENU menu = CreatePopupMenu();
    const bool history = m_history.Enabled();
    AppendMenuW(menu, MF_STRING | (row >= 0 && history ? 0 : MF_GRAYED), IDM_HISTORY, L"历史记录...");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_EXPORT, L"导出参数...");
    AppendMenuW(menu, MF_STRING, IDM_IMPORT, L"导入参数...");
    AppendMenuW(menu, MF_STRING | (m_options.record ? 0 : MF_GRAYED), IDM_SAVE_RECORD, L"保存数据包记录...");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_CLOSE, L"关闭(&C)\tAlt+F4");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    // Replies dropped under a flood and those the full list no longer took, for the operator to see.
    AppendMenuW(menu, MF_STRING | MF_GRAYED, IDM_DROPPED,
                (L"丢弃的数据报：" + std::to_wstring(m_queue.Dropped())).c_str());
    AppendMenuW(menu, MF_STRING | MF_GRAYED, IDM_NOT_LISTED,
                (L"未列出的搜索回复：" + std::to_wstring(m_ops->RepliesNotListed())).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    wchar_t about[128] = {};
    LoadStringW(m_instance, IDS_ABOUTBOX, about, 128);
    AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about);
    return menu;
}

void CSetupDlg::ShowMenu(int row, POINT at)
{
    HMENU menu = BuildMenu(row);
    const UINT command = m_trackMenu ? m_trackMenu(menu, at)
                                     : UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0,
                                                           m_hwnd, nullptr));
    DestroyMenu(menu);
    if (command) RunMenuCommand(command, row);
}

void CSetupDlg::RunMenuCommand(UINT command, int row)
{
    switch (command) {
    case IDM_HISTORY:
        ShowHistory(row);
        break;
    case IDM_EXPORT: {
        const std::wstring path = FileDialog(m_hwnd, true, L"导出参数", L"参数文件 (*.json)\0*.json\0所有文件 (*.*)\0*.*\0",
                                             L"vornik-settings.json", L"json");
        if (!path.empty()) ExportSettings(path);
        break;
    }
    case IDM_IMPORT: {
        const std::wstring path =
            FileDialog(m_hwnd, false, L"导入参数", L"参数文件 (*.json)\0*.json\0所有文件 (*.*)\0*.*\0", L"", L"json");
        if (!path.empty()) ImportSettings(path);
        break;
    }
    case IDM_SAVE_RECORD: {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        wchar_t suggested[64];
        swprintf(suggested, 64, L"vornik-%04u%02u%02u-%02u%02u%02u.pcap", now.wYear, now.wMonth, now.wDay, now.wHour,
                 now.wMinute, now.wSecond);
        const std::wstring path = FileDialog(m_hwnd, true, L"保存数据包记录",
                                             L"数据包记录 (*.pcap)\0*.pcap\0所有文件 (*.*)\0*.*\0", suggested, L"pcap");
        if (!path.empty()) SavePacketRecord(path);
        break;
    }
    case IDM_CLOSE:
        PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
        break;
    case IDM_ABOUTBOX:
        OnSysCommandAbout();
        break;
    default:
        break;
    }
}

bool CSetupDlg::ExportSettings(const std::wstring& path)
{
    const SettingsExport file = ExportSettingsText(*m_ops, std::chrono::system_clock::now());
    if (file.refusal936) {
        m_main.MessageBox(*file.refusal936, {}, MessageIcon::Exclamation);
        return false;
    }
    const std::string pathUtf8 = Utf8FromWide(path);
    if (!WriteWhole(path, file.text)) {
        m_main.MessageBoxWide(WideFromUtf8(ExportNotWrittenText(pathUtf8)), MessageIcon::Exclamation);
        return false;
    }
    m_ops->AppendInfoLine(ExportDoneLine936(*m_ops, pathUtf8));
    return true;
}

bool CSetupDlg::ImportSettings(const std::wstring& path)
{
    if (const auto failure = ImportSettingsFile(*m_ops, Utf8FromWide(path), Utf8FromWide(FileNameOf(path)))) {
        m_main.MessageBoxWide(WideFromUtf8(*failure), MessageIcon::Exclamation);
        return false;
    }
    return true;
}

bool CSetupDlg::SavePacketRecord(const std::wstring& path)
{
    PacketCapture* record = m_options.record;
    if (!record) {
        m_main.MessageBox(text::kPacketRecordNone, {}, MessageIcon::Exclamation);
        return false;
    }
    const std::string pathUtf8 = Utf8FromWide(path);
    std::string error;
    if (!record->Save(pathUtf8, &error)) {
        m_main.MessageBoxWide(WideFromUtf8(PacketRecordNotWrittenText(pathUtf8)), MessageIcon::Exclamation);
        return false;
    }
    m_ops->AppendInfoLine(PacketRecordSavedLine936(pathUtf8, record->Size()));
    return true;
}

void CSetupDlg::ShowHistory(int row)
{
    const std::optional<DeviceRow> device = m_main.DeviceRowAt(IDC_DEVICE_LIST, row);
    if (!device || !m_history.Enabled()) return;
    auto opened = m_history.Open();
    if (auto* why = std::get_if<std::string>(&opened)) {
        m_main.MessageBoxWide(WideFromUtf8(text::kHistoryUnreadable.Utf8() + *why), MessageIcon::Exclamation);
        return;
    }
    CHistoryDlg dialog(m_instance, m_hwnd, device->mac, *std::get<history::Store*>(opened), *m_ops);
    if (const auto& why = dialog.Failure()) {
        m_main.MessageBoxWide(WideFromUtf8(text::kHistoryUnreadable.Utf8() + *why), MessageIcon::Exclamation);
        return;
    }
    dialog.Run();
}

} // namespace vornik::win32

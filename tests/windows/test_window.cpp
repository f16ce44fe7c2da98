// The Windows window under wine, driven by control id in one process: the
// control operations over real dialogs, the icon button's face, the window's
// keys, tabs, menus and page buttons, and the road against vornik_sim.exe on
// loopback (window_wine.sh starts the simulators and names their ports).
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ops/control_ids.h"
#include "ops/drop_downs.h"
#include "ops/read_back.h"
#include "ops/texts.h"
#include "proto/mac_address.h"
#include "win32/history_dlg.h"
#include "win32/setup_dlg.h"
#include "win32/wide_text.h"
#include "win32/win32_control_ops.h"

using namespace vornik;
using namespace vornik::win32;

namespace {

// --- Message boxes, recorded instead of shown -------------------------------

struct Box { HWND owner; std::wstring text, caption; UINT flags; };
std::vector<Box> g_boxes;
int g_answer = IDOK;

int RecordBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    g_boxes.push_back({owner, text, caption, flags});
    return g_answer;
}

std::wstring W(const std::string& text936) { return WideFromCp936(text936); }

// Handles the window's messages until `done` holds or ten seconds pass; the
// wait is on messages, so a reply is handled the moment it is posted.
bool PumpUntil(CSetupDlg* window, const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            window->Dispatch(message);
        }
        if (done()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}
void Drain(CSetupDlg* window) { PumpUntil(window, [] { return true; }); }

INT_PTR CALLBACK Plain(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

HWND Dialog(int templateId, HWND parent = nullptr)
{
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent, Plain, 0);
}

DeviceRow Row(uint8_t last, uint32_t ip) { return {ip, {0x02, 0x56, 0x4B, 0x00, 0x00, last}, 0x0102}; }

// --- The control operations over the real templates -------------------------

struct ControlOps : testing::Test {
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        Win32ControlOps::SetBoxCall(RecordBox);
    }
    void SetUp() override { g_boxes.clear(); }
    void TearDown() override { DestroyWindow(main); }
    HWND main = Dialog(IDD_SETUP);
    HWND page = Dialog(IDD_NET_PAGE, main); // a page is a child dialog
    Win32ControlOps mainOps{main, main};
    Win32ControlOps pageOps{page, main};
};

TEST_F(ControlOps, TextsGoThroughCodePage936BothWays)
{
    const struct {
        const char* name;
        int id;
        std::wstring set;      // as the control holds it
        std::string expect936; // as the logic reads it
        bool fits;             // whether a write may take it
    } rows[] = {
        {"an address", IDC_NET_IP_ADDRESS, L"192.168.0.101", "192.168.0.101", true},
        {"a Chinese server name", SERVER_CONTROL_IDS[0].targetAddress, L"服务器.cn", text::Cp936("服务器.cn"), true},
        {"empty", IDC_NET_GATEWAY, L"", "", true},
        {"a letter code page 936 lacks", IDC_NET_MAC, L"ő", "?", false},
        {"a control the page does not have", 4242, L"x", "", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetDlgItemTextW(page, row.id, row.set.c_str());
        EXPECT_EQ(pageOps.GetText(row.id), row.expect936);
        EXPECT_EQ(pageOps.TextFits936(row.id), row.fits);
        if (row.id == 4242) continue;
        pageOps.SetText(row.id, row.expect936);
        wchar_t shown[64] = {};
        GetDlgItemTextW(page, row.id, shown, 64);
        EXPECT_EQ(std::wstring(shown), row.set == L"ő" ? L"?" : row.set);
    }
}

TEST_F(ControlOps, DropDownsHoldTheirEntriesAndSelectOnlyWithinThem)
{
    pageOps.FillDropDowns(settings::Block::Network);
    const DropDown& mode = DropDownOf(IDC_NET_IP_MODE);
    EXPECT_EQ(SendDlgItemMessageW(page, IDC_NET_IP_MODE, CB_GETCOUNT, 0, 0), LRESULT(mode.entries.size()));
    const struct {
        int set, expect;
    } rows[] = {{1, 1}, {0, 0}, {int(mode.entries.size()), -1}, {-1, -1}, {99, -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.set);
        pageOps.SetSel(IDC_NET_IP_MODE, row.set);
        EXPECT_EQ(pageOps.GetSel(IDC_NET_IP_MODE), row.expect);
        EXPECT_EQ(pageOps.GetText(IDC_NET_IP_MODE),
                  row.expect < 0 ? std::string() : text::Cp936(mode.entries[size_t(row.expect)]));
    }
    // The device page's drop-downs are not this page's, though 1050 and 1056 exist on both.
    EXPECT_EQ(SendDlgItemMessageW(page, IDC_NET_MAX_CONNECTIONS, CB_GETCOUNT, 0, 0),
              LRESULT(DropDownOf(IDC_NET_MAX_CONNECTIONS).entries.size()));
}

TEST_F(ControlOps, ListRowsKeepTheirDevicesAndTheMarkAsRowsGoInAbove)
{
    mainOps.SetListColumns(IDC_DEVICE_LIST, {L"a", L"b", L"c", L"d"}, {3, 3, 3, 2});
    mainOps.InsertDeviceRow(IDC_DEVICE_LIST, 0, Row(1, 0xC0A8000A));
    mainOps.InsertDeviceRow(IDC_DEVICE_LIST, 0, Row(2, 0xC0A8000B));
    mainOps.MarkRow(IDC_DEVICE_LIST, 1); // the first device
    mainOps.InsertDeviceRow(IDC_DEVICE_LIST, 0, Row(3, 0xC0A8000C));
    mainOps.InsertDeviceRow(IDC_DEVICE_LIST, 99, Row(4, 0xC0A8000D)); // past the end: appended

    const struct {
        int row;
        uint8_t mac;
        const char* ip;
        const char* macCell;
        bool marked;
    } rows[] = {{0, 3, "192.168.0.12", "02564B000003", false}, {1, 2, "192.168.0.11", "02564B000002", false},
                {2, 1, "192.168.0.10", "02564B000001", true}, {3, 4, "192.168.0.13", "02564B000004", false}};
    HWND list = GetDlgItem(main, IDC_DEVICE_LIST);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        const auto device = mainOps.DeviceRowAt(IDC_DEVICE_LIST, row.row);
        ASSERT_TRUE(device);
        EXPECT_EQ(device->mac[5], row.mac);
        EXPECT_EQ(mainOps.GetCell(IDC_DEVICE_LIST, row.row, COL_DEVICE_IP), row.ip);
        EXPECT_EQ(mainOps.GetCell(IDC_DEVICE_LIST, row.row, COL_MAC), row.macCell);
        // The marked row is drawn in its own font.
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = row.row;
        SendMessageW(list, LVM_GETITEMW, 0, LPARAM(&item));
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr = {list, UINT_PTR(IDC_DEVICE_LIST), UINT(NM_CUSTOMDRAW)};
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        draw.nmcd.hdc = GetDC(list);
        draw.nmcd.lItemlParam = item.lParam;
        LRESULT result = 0;
        ASSERT_TRUE(mainOps.OnCustomDraw(&draw.nmcd.hdr, result));
        EXPECT_EQ(result, row.marked ? CDRF_NEWFONT : CDRF_DODEFAULT);
        ReleaseDC(list, draw.nmcd.hdc);
    }
    EXPECT_FALSE(mainOps.DeviceRowAt(IDC_DEVICE_LIST, 4));
    EXPECT_FALSE(mainOps.DeviceRowAt(IDC_DEVICE_LIST, -1));
    EXPECT_EQ(mainOps.FirstSelectedRow(IDC_DEVICE_LIST), -1);
    LVITEMW select{};
    select.stateMask = select.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, 2, LPARAM(&select));
    EXPECT_EQ(mainOps.FirstSelectedRow(IDC_DEVICE_LIST), 2);

    mainOps.SetCell(IDC_DEVICE_LIST, 0, COL_DEVICE_NAME, text::Cp936("温湿度"));
    EXPECT_EQ(mainOps.GetCell(IDC_DEVICE_LIST, 0, COL_DEVICE_NAME), text::Cp936("温湿度"));
    mainOps.ClearRows(IDC_DEVICE_LIST);
    EXPECT_FALSE(mainOps.DeviceRowAt(IDC_DEVICE_LIST, 0));
    EXPECT_EQ(mainOps.FirstSelectedRow(IDC_DEVICE_LIST), -1);
}

TEST_F(ControlOps, TheInfoAreaGrowsByItsTailUnlessTheUserTypedIntoIt)
{
    // The window upper-cases only what is typed (Window.TypedLettersAreUpperCaseTheLogAsWritten).
    HWND info = GetDlgItem(main, IDC_INFO);
    SetWindowLongW(info, GWL_STYLE, GetWindowLongW(info, GWL_STYLE) & ~ES_UPPERCASE);
    mainOps.SetText(IDC_INFO, "a\r\n");
    mainOps.AppendText(IDC_INFO, "b\r\n");
    EXPECT_EQ(mainOps.GetText(IDC_INFO), "a\r\nb\r\n");
    // What the user typed gives way to the logic's text.
    SetDlgItemTextW(main, IDC_INFO, L"TYPED");
    SendDlgItemMessageW(main, IDC_INFO, EM_SETMODIFY, TRUE, 0);
    mainOps.AppendText(IDC_INFO, "c\r\n");
    EXPECT_EQ(mainOps.GetText(IDC_INFO), "a\r\nb\r\nc\r\n");
}

TEST_F(ControlOps, BoxesAreTheMainWindowsWithTheProgramsNameForNoCaption)
{
    constexpr UINT question = MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONEXCLAMATION;
    const struct {
        std::function<bool()> show;
        std::wstring caption;
        UINT flags;
        int answer;
        bool expect;
    } rows[] = {
        {[&] { pageOps.MessageBox(text::kMsgReadFirst); return true; }, L"Vornik_Setup", MB_OK, IDOK, true},
        {[&] { pageOps.MessageBox(text::kMsgReadFirst, text::kCaptionHint, MessageIcon::Exclamation); return true; },
         L"提示", MB_OK | MB_ICONEXCLAMATION, IDOK, true},
        {[&] { return pageOps.AskOkCancel(text::kMsgReadFirst, text::kCaptionHint); }, L"提示", question, IDOK, true},
        {[&] { return pageOps.AskOkCancel(text::kMsgReadFirst, ""); }, L"Vornik_Setup", question, IDCANCEL, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.flags);
        g_boxes.clear();
        g_answer = row.answer;
        EXPECT_EQ(row.show(), row.expect);
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].owner, main);
        EXPECT_EQ(g_boxes[0].text, W(text::kMsgReadFirst));
        EXPECT_EQ(g_boxes[0].caption, row.caption);
        EXPECT_EQ(g_boxes[0].flags, row.flags);
    }
    g_answer = IDOK;
}

// --- The icon button ---------------------------------------------------------

COLORREF Pixel(const DRAWITEMSTRUCT& item, int x, int y) { return GetPixel(item.hDC, x, y); }

TEST_F(ControlOps, TheIconButtonDrawsItsFaceInEveryState)
{
    CIconButton button;
    EXPECT_FALSE(button.AttachToButton(4242, page));
    ASSERT_TRUE(button.AttachToButton(IDC_NET_WRITE, page));
    EXPECT_EQ(GetWindowLongW(button.Handle(), GWL_STYLE) & 0x1F, BS_OWNERDRAW);
    EXPECT_EQ(button.LoadIcons(133, 25, 25), 0);

    RECT client{};
    GetClientRect(button.Handle(), &client);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    SelectObject(dc, bitmap);
    const int iconTop = (client.bottom - 24) / 2;
    const struct {
        const char* name;
        UINT state;
        POINT icon;
        LONG captionLeft;
        COLORREF corner;
    } rows[] = {
        // An icon loaded at 25 × 25 is laid out as 24 × 24, 3 pixels in; the caption 27 pixels in.
        {"normal", 0, {3, iconTop}, 27, GetSysColor(COLOR_BTNHIGHLIGHT)},
        {"pressed", ODS_SELECTED, {4, iconTop + 1}, 28, GetSysColor(COLOR_BTNSHADOW)},
        {"focused", ODS_FOCUS, {3, iconTop}, 27, RGB(0, 0, 0)},
        {"disabled", ODS_DISABLED, {3, iconTop}, 27, GetSysColor(COLOR_BTNHIGHLIGHT)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.hwndItem = button.Handle();
        item.hDC = dc;
        item.rcItem = client;
        item.itemState = row.state;
        button.DrawItem(item);
        EXPECT_EQ(button.LastIconAt().x, row.icon.x);
        EXPECT_EQ(button.LastIconAt().y, row.icon.y);
        EXPECT_EQ(button.LastCaptionBounds().left, row.captionLeft);
        EXPECT_EQ(Pixel(item, 0, 0), row.corner);
    }
    // The dialog makes it its default button: it draws the black frame and stays owner-drawn.
    SendMessageW(button.Handle(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_TRUE(button.IsDefault());
    EXPECT_EQ(GetWindowLongW(button.Handle(), GWL_STYLE) & 0x1F, BS_OWNERDRAW);
    DRAWITEMSTRUCT item{ODT_BUTTON, 0, 0, 0, 0, button.Handle(), dc, client, 0};
    button.DrawItem(item);
    EXPECT_EQ(Pixel(item, 0, 0), RGB(0, 0, 0));
    SendMessageW(button.Handle(), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_FALSE(button.IsDefault());

    // An icon that does not load: the caption alone, centred.
    EXPECT_EQ(button.LoadIcons(4242, 25, 25), 0);
    button.DrawItem(item);
    EXPECT_EQ(button.LastCaptionBounds().left, 0);
    DeleteDC(dc);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
}

// --- The window -------------------------------------------------------------

uint16_t PortFromEnvironment(const char* name, uint16_t fallback)
{
    const char* value = std::getenv(name);
    return value ? uint16_t(std::atoi(value)) : fallback;
}

CSetupDlg::Options Loopback(uint16_t port)
{
    CSetupDlg::Options options;
    options.link.port = port;
    options.link.broadcastAddress = 0x7FFFFFFF;                        // 127.255.255.255
    // lo's own address: wine then binds the endpoint as Windows does, hearing broadcasts.
    options.link.hostAddresses = [] { return std::vector<uint32_t>{0x7F000001}; };
    return options;
}

struct Window : testing::Test {
    static void SetUpTestSuite() { Win32ControlOps::SetBoxCall(RecordBox); }
    void SetUp() override
    {
        g_boxes.clear();
        g_answer = IDOK;
        ASSERT_TRUE(window.Create(false));
        ShowWindow(window.Hwnd(), SW_SHOW);
        Drain(&window);
    }
    std::string Info() { return window.MainControls().GetText(IDC_INFO); }
    void Click(HWND dialog, int id)
    {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
        Drain(&window);
    }
    void Key(HWND to, WPARAM key)
    {
        SetFocus(to);
        PostMessageW(to, WM_KEYDOWN, key, 1);
        PostMessageW(to, WM_KEYUP, key, 1u | 3u << 30);
        Drain(&window);
    }
    void SelectTab(int index)
    {
        HWND tab = GetDlgItem(window.Hwnd(), IDC_TAB);
        SendMessageW(tab, TCM_SETCURSEL, WPARAM(index), 0);
        NMHDR header{tab, UINT_PTR(IDC_TAB), UINT(TCN_SELCHANGE)};
        SendMessageW(window.Hwnd(), WM_NOTIFY, IDC_TAB, LPARAM(&header));
    }
    CSetupDlg window{GetModuleHandleW(nullptr), Loopback(PortFromEnvironment("VORNIK_TEST_SILENT_PORT", 39999))};
};

TEST_F(Window, StartsWithTheWelcomeThePortAndTheAboutItemLast)
{
    EXPECT_EQ(Info(), text::kWelcomeText.Cp936());
    EXPECT_EQ(window.MainControls().GetText(IDC_LOCAL_PORT), std::to_string(window.Link().Port()));
    EXPECT_EQ(window.MainControls().GetText(IDC_LOCAL_IP), "127.0.0.1");
    HMENU system = GetSystemMenu(window.Hwnd(), FALSE);
    const int last = GetMenuItemCount(system) - 1;
    wchar_t about[64] = {};
    GetMenuStringW(system, UINT(last), about, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(about), L"关于 Vornik_Setup(&A)...");
    EXPECT_EQ(GetMenuItemID(system, last), IDM_ABOUTBOX);
    EXPECT_EQ(GetMenuState(system, UINT(last - 1), MF_BYPOSITION) & MF_SEPARATOR, UINT(MF_SEPARATOR));
    EXPECT_TRUE(IsWindowVisible(window.NetPage()));
    EXPECT_FALSE(IsWindowVisible(window.DevPage()));
}

TEST_F(Window, TypedLettersAreUpperCaseTheLogAsWritten)
{
    HWND info = GetDlgItem(window.Hwnd(), IDC_INFO);
    window.MainControls().SetText(IDC_INFO, "netsh advfirewall\r\n");
    SendMessageW(info, EM_SETSEL, 0, 0);
    SendMessageW(info, WM_CHAR, L'x', 1);
    EXPECT_EQ(window.MainControls().GetText(IDC_INFO), "Xnetsh advfirewall\r\n");
}

TEST_F(Window, EachPageButtonRefusesBeforeADeviceIsChosenAndSendsNothing)
{
    const struct {
        const char* name;
        HWND page;
        int id;
    } rows[] = {
        {"参数配置", window.NetPage(), IDC_NET_WRITE},       {"写MAC", window.NetPage(), IDC_NET_WRITE_MAC},
        {"载入默认", window.NetPage(), IDC_NET_DEFAULTS},    {"读取设备参数", window.DevPage(), IDC_DEV_READ},
        {"配置设备参数", window.DevPage(), IDC_DEV_WRITE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        g_boxes.clear();
        Click(row.page, row.id);
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].text, W(text::kMsgChooseDeviceFirst));
        EXPECT_EQ(g_boxes[0].owner, window.Hwnd());
        EXPECT_EQ(Info(), text::kWelcomeText.Cp936()); // nothing started
    }
}

TEST_F(Window, EnterAndEscNeverCloseAndEnterPressesTheFocusedButton)
{
    HWND ip = GetDlgItem(window.NetPage(), IDC_NET_IP_ADDRESS);
    const struct {
        const char* name;
        HWND to;
        WPARAM key;
    } rows[] = {{"Esc in an edit", ip, VK_ESCAPE},
                {"Enter in an edit", ip, VK_RETURN},
                {"Esc on the list", GetDlgItem(window.Hwnd(), IDC_DEVICE_LIST), VK_ESCAPE},
                {"Enter on the tab control", GetDlgItem(window.Hwnd(), IDC_TAB), VK_RETURN}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Key(row.to, row.key);
        EXPECT_FALSE(window.Closed());
        EXPECT_TRUE(IsWindowVisible(window.Hwnd()));
    }
    g_boxes.clear();
    Key(GetDlgItem(window.NetPage(), IDC_NET_WRITE_MAC), VK_RETURN);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, W(text::kMsgChooseDeviceFirst));
}

TEST_F(Window, F1AndARightClickOpenTheMenuWithTheWindowsItems)
{
    std::vector<std::wstring> items;
    std::vector<bool> grayed;
    window.SetMenuTracker([&](HMENU menu, POINT) {
        items.clear();
        grayed.clear();
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, UINT(i), text, 64, MF_BYPOSITION);
            items.push_back(text);
            grayed.push_back(GetMenuState(menu, UINT(i), MF_BYPOSITION) & MF_GRAYED);
        }
        return 0u; // nothing chosen
    });
    Key(GetDlgItem(window.NetPage(), IDC_NET_GATEWAY), VK_F1);
    const std::vector<std::wstring> expect = {L"历史记录...", L"", L"导出参数...", L"导入参数...", L"保存数据包记录...",
                                              L"", L"关闭(&C)\tAlt+F4", L"", L"丢弃的数据报：0",
                                              L"未列出的搜索回复：0", L"", L"关于 Vornik_Setup(&A)..."};
    EXPECT_EQ(items, expect);
    // No row, no history, no record in this run: those are greyed, as the
    // counts are (and the separators, as the system reports them).
    EXPECT_EQ(grayed, (std::vector<bool>{1, 1, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0}));
    items.clear();
    SendMessageW(window.Hwnd(), WM_CONTEXTMENU, WPARAM(window.Hwnd()), MAKELPARAM(10, 10));
    EXPECT_EQ(items, expect);
}

TEST_F(Window, SwitchingTabsShowsOnePageAndKeepsWhatWasTyped)
{
    SetDlgItemTextW(window.NetPage(), IDC_NET_IP_ADDRESS, L"10.1.2.3");
    SetDlgItemTextW(window.DevPage(), IDC_DEV_LOGIN_INTERVAL, L"77");
    for (int index : {1, 0, 1, 0}) {
        SCOPED_TRACE(index);
        SelectTab(index);
        EXPECT_EQ(IsWindowVisible(window.NetPage()) != 0, index == 0);
        EXPECT_EQ(IsWindowVisible(window.DevPage()) != 0, index == 1);
    }
    EXPECT_EQ(window.NetControls().GetText(IDC_NET_IP_ADDRESS), "10.1.2.3");
    EXPECT_EQ(window.DevControls().GetText(IDC_DEV_LOGIN_INTERVAL), "77");
    // The pages lie inside the tab control, clear of its tabs.
    RECT tab{}, page{};
    GetWindowRect(GetDlgItem(window.Hwnd(), IDC_TAB), &tab);
    GetWindowRect(window.NetPage(), &page);
    EXPECT_EQ(page.left - tab.left, 8 + (GetSystemMetrics(SM_CXEDGE) * 0));
    EXPECT_EQ(page.top - tab.top, 20);
}

HHOOK g_aboutHook;
std::wstring g_aboutTitle;
LRESULT CALLBACK CloseAbout(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        wchar_t title[64] = {};
        GetWindowTextW(HWND(wParam), title, 64);
        if (std::wstring(title).find(L"关于") == 0) {
            g_aboutTitle = title;
            PostMessageW(HWND(wParam), WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(g_aboutHook, code, wParam, lParam);
}

TEST_F(Window, TheSystemMenusAboutItemOpensTheAboutBoxAndTheCloseEndsTheRun)
{
    g_aboutHook = SetWindowsHookExW(WH_CBT, CloseAbout, nullptr, GetCurrentThreadId());
    SendMessageW(window.Hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    UnhookWindowsHookEx(g_aboutHook);
    EXPECT_EQ(g_aboutTitle, L"关于 Vornik多探头 V2.0");
    EXPECT_FALSE(window.Closed());
    SendMessageW(window.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(window.Closed());
}

TEST_F(Window, FilesThatDoNotReadAndExportsWithoutADeviceAreRefusedInBoxes)
{
    EXPECT_FALSE(window.ExportSettings(L"Z:\\tmp\\never-written.json"));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, W(text::kExportFailed.Cp936() + text::kExportNothingFromDevice.Cp936()));
    g_boxes.clear();
    EXPECT_FALSE(window.ImportSettings(L"C:\\no such folder\\设置.json"));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text.rfind(L"导入参数失败：", 0), 0u);
    EXPECT_NE(g_boxes[0].text.find(L"设置.json"), std::wstring::npos); // the name whole, as given
    g_boxes.clear();
    EXPECT_FALSE(window.SavePacketRecord(L"C:\\x.pcap"));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, W(text::kPacketRecordNone));
}

TEST(WindowLink, TheLinksStartFailuresAreBoxesOfTheMainWindowInOrder)
{
    Win32ControlOps::SetBoxCall(RecordBox);
    g_boxes.clear();
    const struct {
        const char* name;
        std::function<void(SocketCalls&)> fail;
        std::vector<std::wstring> boxes;
    } rows[] = {
        // Every later step still runs, so both option messages follow.
        {"no receive socket",
         [](SocketCalls& c) {
             c.socket = [](int, int, int) {
                 SetLastSocketError(10024);
                 return INVALID_SOCKET_HANDLE;
             };
         },
         {L"套接字错误,请检查错误并重新打开软件", L"设置规则失败1", L"设置规则失败2"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        g_boxes.clear();
        CSetupDlg::Options options = Loopback(PortFromEnvironment("VORNIK_TEST_SILENT_PORT", 39999));
        row.fail(options.link.calls);
        CSetupDlg window(GetModuleHandleW(nullptr), std::move(options));
        ASSERT_TRUE(window.Create(true));
        EXPECT_TRUE(g_boxes.empty()); // not inside the start-up: once it has returned
        Drain(&window);
        std::vector<std::wstring> texts;
        for (const Box& box : g_boxes) {
            texts.push_back(box.text);
            EXPECT_EQ(box.owner, window.Hwnd());
        }
        EXPECT_EQ(texts, row.boxes);
    }
}

// --- The road against the simulator ----------------------------------------

struct Road : testing::Test {
    static void SetUpTestSuite() { Win32ControlOps::SetBoxCall(RecordBox); }
    void SetUp() override
    {
        g_boxes.clear();
        g_answer = IDOK;
        if (!std::getenv("VORNIK_TEST_PORT")) GTEST_SKIP() << "no simulator (window_wine.sh starts them)";
    }
    std::unique_ptr<CSetupDlg> Open(const char* variable)
    {
        auto window = std::make_unique<CSetupDlg>(GetModuleHandleW(nullptr), Loopback(PortFromEnvironment(variable, 0)));
        EXPECT_TRUE(window->Create(true));
        ShowWindow(window->Hwnd(), SW_SHOW);
        return window;
    }
    static bool Has(CSetupDlg& w, const std::string& line936)
    {
        return w.MainControls().GetText(IDC_INFO).find(line936) != std::string::npos;
    }
    static int Rows(CSetupDlg& w)
    {
        return int(SendDlgItemMessageW(w.Hwnd(), IDC_DEVICE_LIST, LVM_GETITEMCOUNT, 0, 0));
    }
    // Search, then read the row's device (by double-click) once the list has `devices` rows.
    static void SearchAndRead(CSetupDlg& w, int devices, int row)
    {
        SendDlgItemMessageW(w.Hwnd(), IDC_SEARCH, BM_CLICK, 0, 0);
        ASSERT_TRUE(PumpUntil(&w, [&] { return Rows(w) >= devices; })) << w.MainControls().GetText(IDC_INFO);
        HWND list = GetDlgItem(w.Hwnd(), IDC_DEVICE_LIST);
        LVITEMW select{};
        select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, WPARAM(row), LPARAM(&select));
        NMITEMACTIVATE click{};
        click.hdr = {list, UINT_PTR(IDC_DEVICE_LIST), UINT(NM_DBLCLK)};
        click.iItem = row;
        SendMessageW(w.Hwnd(), WM_NOTIFY, IDC_DEVICE_LIST, LPARAM(&click));
        ASSERT_TRUE(PumpUntil(&w, [&] { return Has(w, text::kLogNetworkRead); })) << w.MainControls().GetText(IDC_INFO);
    }
    static void ClickOn(CSetupDlg&, HWND page, int id)
    {
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(page, id)));
    }
};

TEST_F(Road, ASearchListsEachDeviceOnceAndADoubleClickReadsItsNetworkBlock)
{
    auto w = Open("VORNIK_TEST_PORT");
    SearchAndRead(*w, 3, 0);
    // The read's reply came after every search reply, through the same sockets: any copy is in by now.
    EXPECT_EQ(Rows(*w), 3);
    std::vector<std::string> macs;
    for (int r = 0; r < Rows(*w); ++r) macs.push_back(w->MainControls().GetCell(IDC_DEVICE_LIST, r, COL_MAC));
    std::sort(macs.begin(), macs.end());
    EXPECT_EQ(macs, (std::vector<std::string>{"020000000001", "020000000002", "020000000003"}));
    const auto chosen = w->MainControls().DeviceRowAt(IDC_DEVICE_LIST, 0);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(w->NetControls().GetText(IDC_NET_IP_ADDRESS), FormatDottedQuad(chosen->ip));
    EXPECT_NE(w->NetControls().GetText(IDC_NET_SOURCE).find(FormatMacText(chosen->mac)), std::string::npos);

    // Enter on the row with the focus reads that row, as a double-click does.
    HWND list = GetDlgItem(w->Hwnd(), IDC_DEVICE_LIST);
    LVITEMW focus{};
    focus.stateMask = focus.state = LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 1, LPARAM(&focus));
    SetFocus(list);
    PostMessageW(list, WM_KEYDOWN, VK_RETURN, 1);
    const auto second = w->MainControls().DeviceRowAt(IDC_DEVICE_LIST, 1);
    ASSERT_TRUE(second);
    EXPECT_TRUE(PumpUntil(w.get(), [&] { return w->NetControls().GetText(IDC_NET_IP_ADDRESS) == FormatDottedQuad(second->ip); }));
    EXPECT_FALSE(w->Closed());
}

TEST_F(Road, ANetworkAndADeviceWriteAreConfirmedByReadBack)
{
    auto w = Open("VORNIK_TEST_PORT");
    SearchAndRead(*w, 3, 1);
    const auto chosen = w->MainControls().DeviceRowAt(IDC_DEVICE_LIST, 1);
    ASSERT_TRUE(chosen);
    w->NetControls().SetText(SERVER_CONTROL_IDS[7].targetPort, "65535");
    ClickOn(*w, w->NetPage(), IDC_NET_WRITE);
    const std::string confirmed = ReadBackLine936(chosen->mac, settings::Block::Network, {});
    EXPECT_TRUE(PumpUntil(w.get(), [&] { return Has(*w, confirmed); })) << w->MainControls().GetText(IDC_INFO);

    ClickOn(*w, w->DevPage(), IDC_DEV_READ);
    ASSERT_TRUE(PumpUntil(w.get(), [&] { return Has(*w, text::kLogDeviceRead); }));
    w->DevControls().SetText(IDC_DEV_LOGIN_INTERVAL, "123");
    ClickOn(*w, w->DevPage(), IDC_DEV_WRITE);
    const std::string deviceConfirmed = ReadBackLine936(chosen->mac, settings::Block::Device, {});
    EXPECT_TRUE(PumpUntil(w.get(), [&] { return Has(*w, deviceConfirmed); })) << w->MainControls().GetText(IDC_INFO);
    EXPECT_TRUE(g_boxes.empty()) << Utf8FromWide(g_boxes.empty() ? L"" : g_boxes[0].text);
}

TEST_F(Road, ADeviceThatStoresNothingLeavesTheWriteUnconfirmed)
{
    auto w = Open("VORNIK_TEST_STORE_NOTHING_PORT");
    SearchAndRead(*w, 1, 0);
    const auto chosen = w->MainControls().DeviceRowAt(IDC_DEVICE_LIST, 0);
    ASSERT_TRUE(chosen);
    w->NetControls().SetText(IDC_NET_IP_ADDRESS, "192.168.0.99");
    ClickOn(*w, w->NetPage(), IDC_NET_WRITE);
    const std::string confirmed = ReadBackLine936(chosen->mac, settings::Block::Network, {});
    // The read-back shows the old address, field by field: not the confirmed line.
    EXPECT_TRUE(PumpUntil(w.get(), [&] {
        const std::string info = w->MainControls().GetText(IDC_INFO);
        return info.find("192.168.0.99") != std::string::npos && info.find(text::Cp936("→")) != std::string::npos;
    })) << w->MainControls().GetText(IDC_INFO);
    EXPECT_FALSE(Has(*w, confirmed));
}

TEST_F(Road, ADeviceThatDoesNotAcknowledgeIsStillConfirmedByItsReadBack)
{
    auto w = Open("VORNIK_TEST_NO_ACK_PORT");
    SearchAndRead(*w, 1, 0);
    const auto chosen = w->MainControls().DeviceRowAt(IDC_DEVICE_LIST, 0);
    ASSERT_TRUE(chosen);
    w->NetControls().SetText(IDC_NET_GATEWAY, "192.168.0.254");
    ClickOn(*w, w->NetPage(), IDC_NET_WRITE);
    EXPECT_TRUE(PumpUntil(w.get(), [&] { return Has(*w, ReadBackLine936(chosen->mac, settings::Block::Network, {})); }))
        << w->MainControls().GetText(IDC_INFO);
}

TEST_F(Road, TheHistoryKeepsTheReadAndFillsThePagesAndASettingsFileGoesOutAndBack)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"vornik-window-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    CSetupDlg::Options options = Loopback(PortFromEnvironment("VORNIK_TEST_PORT", 0));
    options.historyPath = Utf8FromWide(folder + L"\\history.sqlite");
    CSetupDlg w(GetModuleHandleW(nullptr), std::move(options));
    ASSERT_TRUE(w.Create(true));
    SearchAndRead(w, 3, 2);
    const auto chosen = w.MainControls().DeviceRowAt(IDC_DEVICE_LIST, 2);
    ASSERT_TRUE(chosen);

    const std::string typed = "10.9.8.7";
    // The pages to a file with a Chinese name and back.
    const std::wstring file = folder + L"\\设备.json";
    ASSERT_TRUE(w.ExportSettings(file)) << (g_boxes.empty() ? "" : Utf8FromWide(g_boxes[0].text));
    EXPECT_TRUE(Has(w, text::kExportDoneBefore.Cp936()));
    EXPECT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
    w.NetControls().SetText(IDC_NET_IP_ADDRESS, typed);
    EXPECT_TRUE(w.ImportSettings(file)) << (g_boxes.empty() ? "" : Utf8FromWide(g_boxes[0].text));
    EXPECT_EQ(w.NetControls().GetText(IDC_NET_IP_ADDRESS), FormatDottedQuad(chosen->ip));
    // A file that is no settings file leaves the pages as they are.
    const std::wstring bad = folder + L"\\bad.json";
    HANDLE h = CreateFileW(bad.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    const char bytes[] = "{\"network\": {\"ip\": \"300.1.1.1\"}}";
    WriteFile(h, bytes, DWORD(sizeof bytes - 1), &wrote, nullptr);
    CloseHandle(h);
    g_boxes.clear();
    w.NetControls().SetText(IDC_NET_IP_ADDRESS, typed);
    EXPECT_FALSE(w.ImportSettings(bad));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text.rfind(L"导入参数失败：", 0), 0u);
    EXPECT_EQ(w.NetControls().GetText(IDC_NET_IP_ADDRESS), typed);

    // The read is in the history: the dialog lists it and fills the pages from it.
    w.NetControls().SetText(IDC_NET_IP_ADDRESS, typed);
    static size_t s_rows;
    static bool s_filled;
    s_rows = 0;
    s_filled = false;
    CHistoryDlg::SetOpenHook([](HWND dialog, CHistoryDlg& history) {
        s_rows = size_t(SendDlgItemMessageW(dialog, IDC_HISTORY_LIST, LVM_GETITEMCOUNT, 0, 0));
        s_filled = history.FillFromRow(0);
    });
    w.ShowHistory(2);
    CHistoryDlg::SetOpenHook(nullptr);
    EXPECT_GE(s_rows, 1u);
    EXPECT_TRUE(s_filled);
    EXPECT_EQ(w.NetControls().GetText(IDC_NET_IP_ADDRESS), FormatDottedQuad(chosen->ip));
    EXPECT_TRUE(Has(w, text::kHistoryFilledBefore.Cp936() + FormatMacText(chosen->mac)));
}

TEST_F(Road, ASearchThatFindsNothingNamesTheFirewallRule)
{
    auto w = Open("VORNIK_TEST_SILENT_PORT");
    SendDlgItemMessageW(w->Hwnd(), IDC_SEARCH, BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil(w.get(), [&] { return Has(*w, text::kLogFirewallRule); }))
        << w->MainControls().GetText(IDC_INFO);
    EXPECT_TRUE(Has(*w, text::kLogNothingFound));
    EXPECT_EQ(Rows(*w), 0);
}

TEST_F(Road, PicturesOfTheWindowWithBothPagesFilled)
{
    const char* dir = std::getenv("VORNIK_SCREENSHOT_DIR");
    if (!dir) GTEST_SKIP() << "VORNIK_SCREENSHOT_DIR names where the pictures go";
    auto w = Open("VORNIK_TEST_PORT");
    SearchAndRead(*w, 3, 0);
    ClickOn(*w, w->DevPage(), IDC_DEV_READ);
    ASSERT_TRUE(PumpUntil(w.get(), [&] { return Has(*w, text::kLogDeviceRead); }));
    EXPECT_TRUE(w->WriteScreenshots(WideFromUtf8(dir)));
    EXPECT_TRUE(IsWindowVisible(w->DevPage())); // the last picture is the device page's
}

} // namespace

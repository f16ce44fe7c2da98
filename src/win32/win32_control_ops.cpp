#include "win32/win32_control_ops.h"

#include <commctrl.h>

#include "ops/drop_downs.h"
#include "proto/cp936.h"
#include "win32/wide_text.h"

namespace vornik {

namespace {

Win32ControlOps::BoxCall g_boxCall = [](HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
    return MessageBoxW(owner, text, caption, flags);
};

bool IsMultiLineEdit(HWND control)
{
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return lstrcmpiW(name, L"Edit") == 0 && (GetWindowLongW(control, GWL_STYLE) & ES_MULTILINE);
}

bool IsList(HWND control)
{
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    return lstrcmpiW(name, WC_LISTVIEWW) == 0;
}

bool IsCombo(HWND control)
{
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return lstrcmpiW(name, L"ComboBox") == 0;
}

std::wstring WindowText(HWND control)
{
    const int length = GetWindowTextLengthW(control);
    std::wstring text(size_t(length) + 1, L'\0');
    const int got = GetWindowTextW(control, text.data(), length + 1);
    text.resize(size_t(got));
    return text;
}

} // namespace

Win32ControlOps::Win32ControlOps(HWND dialog, HWND owner) : m_dialog(dialog), m_owner(owner) {}

Win32ControlOps::~Win32ControlOps()
{
    if (m_boldFont) DeleteObject(m_boldFont);
}

void Win32ControlOps::SetBoxCall(BoxCall call) { g_boxCall = call; }

void Win32ControlOps::FillDropDowns(settings::Block block)
{
    for (const DropDown& d : DropDowns()) {
        HWND combo = Control(d.control);
        if (d.block != block || !combo || !IsCombo(combo)) continue;
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        for (const std::string& entry : d.entries)
            SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(WideFromUtf8(entry).c_str()));
    }
}

void Win32ControlOps::SetListColumns(int id, const std::vector<std::wstring>& headings,
                                     const std::vector<int>& elevenths)
{
    HWND list = Control(id);
    if (!list) return;
    RECT client{};
    GetClientRect(list, &client);
    const int width = client.right - client.left;
    for (size_t i = 0; i < headings.size(); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = width * (i < elevenths.size() ? elevenths[i] : 1) / 11;
        column.pszText = const_cast<wchar_t*>(headings[i].c_str());
        SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(i), LPARAM(&column));
    }
}

std::string Win32ControlOps::GetText(int id) const
{
    HWND control = Control(id);
    return control ? Cp936FromWide(WindowText(control)) : std::string{};
}

bool Win32ControlOps::TextFits936(int id) const
{
    HWND control = Control(id);
    return !control || Cp936FromUtf8(Utf8FromWide(WindowText(control))).has_value();
}

void Win32ControlOps::SetText(int id, const std::string& text936)
{
    HWND control = Control(id);
    if (!control) return;
    SetWindowTextW(control, WideFromCp936(text936).c_str());
    if (IsMultiLineEdit(control)) {
        m_shown[id] = text936;
        SendMessageW(control, EM_SETMODIFY, FALSE, 0);
        // The area follows the end of the log.
        const LRESULT end = GetWindowTextLengthW(control);
        SendMessageW(control, EM_SETSEL, WPARAM(end), end);
        SendMessageW(control, EM_SCROLLCARET, 0, 0);
    }
}

void Win32ControlOps::AppendText(int id, const std::string& tail936)
{
    HWND control = Control(id);
    const auto shown = m_shown.find(id);
    if (!control || !IsMultiLineEdit(control) || shown == m_shown.end() ||
        SendMessageW(control, EM_GETMODIFY, 0, 0)) {
        // Typed into since (or never set): the logic's whole text again.
        const std::string whole = (shown == m_shown.end() ? GetText(id) : shown->second) + tail936;
        SetText(id, whole);
        return;
    }
    shown->second += tail936;
    const LRESULT end = GetWindowTextLengthW(control);
    SendMessageW(control, EM_SETSEL, WPARAM(end), end);
    SendMessageW(control, EM_REPLACESEL, FALSE, LPARAM(WideFromCp936(tail936).c_str()));
    SendMessageW(control, EM_SETMODIFY, FALSE, 0);
    SendMessageW(control, EM_SCROLLCARET, 0, 0);
}

int Win32ControlOps::GetSel(int id) const
{
    HWND control = Control(id);
    if (!control) return -1;
    if (IsList(control)) return FirstSelectedRow(id);
    const LRESULT index = SendMessageW(control, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : int(index);
}

void Win32ControlOps::SetSel(int id, int index)
{
    HWND control = Control(id);
    if (!control) return;
    const LRESULT count = SendMessageW(control, CB_GETCOUNT, 0, 0);
    SendMessageW(control, CB_SETCURSEL, WPARAM(index >= 0 && index < count ? index : -1), 0);
}

void Win32ControlOps::Enable(int id, bool enabled)
{
    if (HWND control = Control(id)) EnableWindow(control, enabled);
}

void Win32ControlOps::ClearRows(int id)
{
    HWND list = Control(id);
    if (!list) return;
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    m_lists[id] = ListRows{};
}

void Win32ControlOps::InsertDeviceRow(int id, int row, const DeviceRow& device)
{
    HWND list = Control(id);
    if (!list) return;
    ListRows& rows = m_lists[id];
    rows.rows.push_back(std::make_unique<DeviceRow>(device));
    const auto cells = DeviceRowCells(device);
    const std::wstring first = WideFromCp936(cells[0]);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    const int count = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.iItem = row < 0 || row > count ? count : row;
    item.pszText = const_cast<wchar_t*>(first.c_str());
    item.lParam = LPARAM(rows.rows.back().get());
    const int at = int(SendMessageW(list, LVM_INSERTITEMW, 0, LPARAM(&item)));
    if (at < 0) {
        rows.rows.pop_back();
        return;
    }
    for (size_t column = 1; column < cells.size(); ++column) SetCell(id, at, int(column), cells[column]);
}

void Win32ControlOps::SetCell(int id, int row, int column, const std::string& text936)
{
    HWND list = Control(id);
    if (!list || column < 0 || column >= int(DEVICE_LIST_COLUMNS)) return;
    const std::wstring text = WideFromCp936(text936);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(row), LPARAM(&item));
}

int Win32ControlOps::FirstSelectedRow(int id) const
{
    HWND list = Control(id);
    return list ? int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)) : -1;
}

std::string Win32ControlOps::GetCell(int id, int row, int column) const
{
    HWND list = Control(id);
    if (!list || row < 0 || row >= int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0))) return {};
    wchar_t buffer[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row), LPARAM(&item));
    return Cp936FromWide(buffer);
}

const DeviceRow* Win32ControlOps::RowData(HWND list, int row) const
{
    if (!list || row < 0) return nullptr;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, LPARAM(&item))) return nullptr;
    return reinterpret_cast<const DeviceRow*>(item.lParam);
}

std::optional<DeviceRow> Win32ControlOps::DeviceRowAt(int id, int row) const
{
    const DeviceRow* device = RowData(Control(id), row);
    return device ? std::optional<DeviceRow>(*device) : std::nullopt;
}

void Win32ControlOps::MarkRow(int id, int row)
{
    HWND list = Control(id);
    if (!list) return;
    m_lists[id].marked = RowData(list, row);
    InvalidateRect(list, nullptr, TRUE);
}

bool Win32ControlOps::OnCustomDraw(const NMHDR* header, LRESULT& result)
{
    if (header->code != NM_CUSTOMDRAW) return false;
    const auto found = m_lists.find(int(header->idFrom));
    if (found == m_lists.end() || header->hwndFrom != Control(found->first)) return false;
    const auto* draw = reinterpret_cast<const NMLVCUSTOMDRAW*>(header);
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
        return true;
    }
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        result = CDRF_DODEFAULT;
        if (found->second.marked && reinterpret_cast<const DeviceRow*>(draw->nmcd.lItemlParam) == found->second.marked) {
            if (!m_boldFont) {
                LOGFONTW face{};
                GetObjectW(HFONT(SendMessageW(header->hwndFrom, WM_GETFONT, 0, 0)), sizeof face, &face);
                face.lfWeight = FW_BOLD;
                m_boldFont = CreateFontIndirectW(&face);
            }
            SelectObject(draw->nmcd.hdc, m_boldFont);
            result = CDRF_NEWFONT;
        }
        return true;
    }
    return false;
}

void Win32ControlOps::MessageBox(const std::string& text936, const std::string& caption936, MessageIcon icon)
{
    const std::wstring caption = caption936.empty() ? std::wstring(kApplicationNameW) : WideFromCp936(caption936);
    g_boxCall(m_owner ? m_owner : m_dialog, WideFromCp936(text936).c_str(), caption.c_str(),
              MB_OK | (icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION : 0));
}

bool Win32ControlOps::AskOkCancel(const std::string& text936, const std::string& caption936)
{
    const std::wstring caption = caption936.empty() ? std::wstring(kApplicationNameW) : WideFromCp936(caption936);
    // Enter on a stray focus must not erase a device.
    return g_boxCall(m_owner ? m_owner : m_dialog, WideFromCp936(text936).c_str(), caption.c_str(),
                     MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONEXCLAMATION) == IDOK;
}

void Win32ControlOps::MessageBoxWide(const std::wstring& text, MessageIcon icon)
{
    g_boxCall(m_owner ? m_owner : m_dialog, text.c_str(), kApplicationNameW,
              MB_OK | (icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION : 0));
}

} // namespace vornik

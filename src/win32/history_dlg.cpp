#include "win32/history_dlg.h"

#include <commctrl.h>

#include "ops/device_ops.h"
#include "proto/mac_address.h"
#include "win32/wide_text.h"

namespace vornik::win32 {

CHistoryDlg::CHistoryDlg(HINSTANCE instance, HWND owner, const MacAddress& mac, const history::Store& store,
                         DeviceOps& ops)
    : m_instance(instance), m_owner(owner), m_mac(mac), m_pages(mac, store), m_ops(ops)
{
    // The newest entries are read before the dialog opens, so a history that
    // cannot be read is said instead of an empty dialog.
    m_pages.LoadMore(m_rows);
}

INT_PTR CHistoryDlg::Run()
{
    return DialogBoxParamW(m_instance, MAKEINTRESOURCEW(140), m_owner, Proc, LPARAM(this));
}

INT_PTR CALLBACK CHistoryDlg::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        auto* self = reinterpret_cast<CHistoryDlg*>(lParam);
        self->OnInit(hwnd);
        if (s_openHook) {
            s_openHook(hwnd, *self);
            EndDialog(hwnd, IDCANCEL);
        }
        return TRUE;
    }
    auto* self = reinterpret_cast<CHistoryDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, IDCANCEL);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_HISTORY_FILL && HIWORD(wParam) == BN_CLICKED) {
            const int row = int(SendDlgItemMessageW(hwnd, IDC_HISTORY_LIST, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
            if (self->FillFromRow(row)) EndDialog(hwnd, IDOK);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_HISTORY_LIST) return FALSE;
        if (header->code == LVN_ITEMCHANGED) {
            const bool chosen = SendMessageW(header->hwndFrom, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED) >= 0;
            EnableWindow(GetDlgItem(hwnd, IDC_HISTORY_FILL), chosen);
            self->LoadWhenNearEnd();
        } else if (header->code == LVN_ENDSCROLL) {
            self->LoadWhenNearEnd();
        } else if (header->code == NM_DBLCLK) {
            if (self->FillFromRow(reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem)) EndDialog(hwnd, IDOK);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void CHistoryDlg::OnInit(HWND dialog)
{
    m_dialog = dialog;
    SetWindowTextW(dialog, (L"历史记录 - " + WideFromUtf8(FormatMacText(m_mac))).c_str());
    SetDlgItemTextW(dialog, IDC_HISTORY_HEADING, WideFromUtf8(m_pages.Heading()).c_str());
    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    RECT client{};
    GetClientRect(list, &client);
    // Time, program, operation, stage and IP fixed; the changes take the rest.
    const int widths[HISTORY_COLUMNS] = {15, 12, 12, 10, 12, 39};
    for (size_t c = 0; c < HISTORY_COLUMNS; ++c) {
        const std::wstring heading = WideFromUtf8(HistoryHeadings()[c]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = client.right * widths[c] / 100;
        column.pszText = const_cast<wchar_t*>(heading.c_str());
        SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(c), LPARAM(&column));
    }
    EnableWindow(GetDlgItem(dialog, IDC_HISTORY_FILL), FALSE);
    AddRows(0);
}

void CHistoryDlg::AddRows(size_t from)
{
    HWND list = GetDlgItem(m_dialog, IDC_HISTORY_LIST);
    for (size_t r = from; r < m_rows.size(); ++r) {
        std::wstring cell = WideFromUtf8(m_rows[r][0]);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = int(r);
        item.pszText = cell.data();
        SendMessageW(list, LVM_INSERTITEMW, 0, LPARAM(&item));
        for (size_t c = 1; c < HISTORY_COLUMNS; ++c) {
            cell = WideFromUtf8(m_rows[r][c]);
            item.iSubItem = int(c);
            item.pszText = cell.data();
            SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(r), LPARAM(&item));
        }
    }
}

bool CHistoryDlg::LoadMore()
{
    const size_t before = m_rows.size();
    if (!m_pages.LoadMore(m_rows)) return false;
    if (m_dialog) AddRows(before);
    return true;
}

void CHistoryDlg::LoadWhenNearEnd()
{
    if (m_pages.Complete() || m_pages.Failure()) return;
    HWND list = GetDlgItem(m_dialog, IDC_HISTORY_LIST);
    const int top = int(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    const int shown = int(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    const int focused = int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
    if (top + 2 * shown >= int(m_rows.size()) || focused + 1 >= int(m_rows.size())) LoadMore();
}

bool CHistoryDlg::FillFromRow(int row) { return row >= 0 && m_pages.FillPages(size_t(row), m_ops); }

} // namespace vornik::win32

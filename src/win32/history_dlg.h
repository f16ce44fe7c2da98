// "历史记录...": dialog 140, one device's history newest first, older
// entries a page at a time as the list is walked or scrolled to its end;
// "填入页面" puts the device's state after the chosen entry into both pages.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ops/history_pages.h"

namespace vornik {
class DeviceOps;
}

namespace vornik::win32 {

inline constexpr int IDC_HISTORY_LIST = 1200;
inline constexpr int IDC_HISTORY_HEADING = 1201;
inline constexpr int IDC_HISTORY_FILL = 1202;

class CHistoryDlg {
public:
    // The store must outlive the dialog.
    CHistoryDlg(HINSTANCE instance, HWND owner, const MacAddress& mac, const history::Store& store, DeviceOps& ops);
    const std::optional<std::string>& Failure() const { return m_pages.Failure(); }
    // Modal; IDOK after the pages were filled, IDCANCEL otherwise.
    INT_PTR Run();
    // A test's hook: runs with the dialog open, then the dialog closes.
    static void SetOpenHook(void (*hook)(HWND dialog, CHistoryDlg& self)) { s_openHook = hook; }

    bool LoadMore();
    bool FillFromRow(int row);
    size_t Rows() const { return m_rows.size(); }

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit(HWND dialog);
    void AddRows(size_t from);
    void LoadWhenNearEnd();

    static inline void (*s_openHook)(HWND, CHistoryDlg&) = nullptr;
    HINSTANCE m_instance;
    HWND m_owner;
    HWND m_dialog = nullptr;
    MacAddress m_mac;
    HistoryPages m_pages;
    DeviceOps& m_ops;
    std::vector<HistoryRow> m_rows;
};

} // namespace vornik::win32

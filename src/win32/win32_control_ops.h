// The control operations over a Win32 dialog: the logic reaches each control
// by its id through GetDlgItem. Ids repeat between the main window and its
// pages, so each dialog has its own instance.
//
// Controls by class: EDIT (single- or multi-line), COMBOBOX (its selected
// index is the list index; entries from ops/drop_downs.h), SysListView32 in
// report view (each row keeps its DeviceRow), BUTTON and STATIC.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ops/control_ops.h"
#include "settings/fields.h"

namespace vornik {

// The caption of message boxes that the logic leaves without one.
inline constexpr wchar_t kApplicationNameW[] = L"Vornik_Setup";

class Win32ControlOps : public IControlOps {
public:
    // How a box is shown: MessageBoxW, or a test's stand-in.
    using BoxCall = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);

    // Boxes are owned by `owner` (the main window), or by the dialog itself.
    explicit Win32ControlOps(HWND dialog = nullptr, HWND owner = nullptr);
    ~Win32ControlOps() override;
    Win32ControlOps(const Win32ControlOps&) = delete;
    Win32ControlOps& operator=(const Win32ControlOps&) = delete;

    void SetDialog(HWND dialog) { m_dialog = dialog; }
    void SetOwner(HWND owner) { m_owner = owner; }
    HWND Dialog() const { return m_dialog; }
    HWND Control(int id) const { return m_dialog ? GetDlgItem(m_dialog, id) : nullptr; }
    static void SetBoxCall(BoxCall call);

    // The entries of the block's drop-downs that this dialog holds.
    void FillDropDowns(settings::Block block);
    // The list's columns, their widths shares of its client width.
    void SetListColumns(int id, const std::vector<std::wstring>& headings, const std::vector<int>& elevenths);
    // NM_CUSTOMDRAW of a list: the marked row is drawn bold. True when the
    // notification was the list's and `result` is the answer.
    bool OnCustomDraw(const NMHDR* header, LRESULT& result);

    std::string GetText(int id) const override;
    bool TextFits936(int id) const override;
    void SetText(int id, const std::string& text936) override;
    // A multi-line edit adds the tail at its end, unless the user typed
    // into it since: then it shows the logic's whole text again.
    void AppendText(int id, const std::string& tail936) override;
    int GetSel(int id) const override;
    void SetSel(int id, int index) override;
    void Enable(int id, bool enabled) override;
    void ClearRows(int id) override;
    void InsertDeviceRow(int id, int row, const DeviceRow& device) override;
    void SetCell(int id, int row, int column, const std::string& text936) override;
    int FirstSelectedRow(int id) const override;
    std::string GetCell(int id, int row, int column) const override;
    std::optional<DeviceRow> DeviceRowAt(int id, int row) const override;
    void MarkRow(int id, int row) override;
    void MessageBox(const std::string& text936, const std::string& caption936 = {},
                    MessageIcon icon = MessageIcon::None) override;
    bool AskOkCancel(const std::string& text936, const std::string& caption936) override;
    // A text of the window's own that code page 936 may not hold (a file name).
    void MessageBoxWide(const std::wstring& text, MessageIcon icon = MessageIcon::None);

private:
    // Every row's DeviceRow lives here; the list item holds its address, so
    // the mark and the values move with the row as rows are inserted above.
    struct ListRows {
        std::vector<std::unique_ptr<DeviceRow>> rows;
        const DeviceRow* marked = nullptr;
    };
    const DeviceRow* RowData(HWND list, int row) const;

    HWND m_dialog;
    HWND m_owner;
    std::map<int, ListRows> m_lists;
    // The multi-line texts as the logic last gave them.
    std::map<int, std::string> m_shown;
    HFONT m_boldFont = nullptr;
};

} // namespace vornik

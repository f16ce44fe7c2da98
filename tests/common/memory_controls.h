// An in-memory dialog: the control operations without a display, so every
// operation can be run and inspected in tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ops/control_ops.h"

namespace vornik {

class MemoryControls : public IControlOps {
public:
    struct Box {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };

    // Declares a list and its entries; SetSel keeps to them.
    void AddList(int id, std::vector<std::string> entries);

    std::string GetText(int id) const override;
    void SetText(int id, const std::string& text936) override;
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
    void MessageBox(const std::string& text936, const std::string& caption936, MessageIcon icon) override;
    // Kept among the boxes; answered with `okAnswer`.
    bool AskOkCancel(const std::string& text936, const std::string& caption936) override;
    bool okAnswer = true;

    // Inspection and user actions for tests.
    bool IsEnabled(int id) const;
    // Texts given, appended tails included: how often the control was refreshed.
    int SetTextCount(int id) const;
    int RowCount(int id) const;
    void SelectRow(int id, int row); // -1 clears the selection
    // What a user types, in UTF-8: the control holds it in code page 936,
    // '?' for each character that has no form there, as a window's would.
    void Type(int id, const std::string& utf8);
    bool TextFits936(int id) const override;
    const std::vector<Box>& Boxes() const { return m_boxes; }

private:
    struct List {
        std::vector<std::string> entries;
        int selected = -1;
    };
    struct Row {
        DeviceRow device;
        std::vector<std::string> cells;
    };
    struct Rows {
        std::vector<Row> rows;
        int selected = -1;
    };
    std::map<int, std::string> m_texts;
    std::map<int, bool> m_unfit; // typed with what code page 936 cannot hold
    std::map<int, int> m_setTextCounts;
    std::map<int, List> m_lists;
    std::map<int, bool> m_disabled;
    std::map<int, Rows> m_rows;
    std::vector<Box> m_boxes;
};

} // namespace vornik

#include "memory_controls.h"

#include "proto/cp936.h"

namespace vornik {

void MemoryControls::AddList(int id, std::vector<std::string> entries)
{
    m_lists[id] = List{std::move(entries), -1};
}

std::string MemoryControls::GetText(int id) const
{
    const auto it = m_texts.find(id);
    return it == m_texts.end() ? std::string() : it->second;
}

void MemoryControls::SetText(int id, const std::string& text936)
{
    m_texts[id] = text936;
    m_unfit.erase(id);
    ++m_setTextCounts[id];
}

void MemoryControls::AppendText(int id, const std::string& tail936)
{
    m_texts[id] += tail936;
    ++m_setTextCounts[id];
}

int MemoryControls::GetSel(int id) const
{
    const auto it = m_lists.find(id);
    return it == m_lists.end() ? -1 : it->second.selected;
}

void MemoryControls::SetSel(int id, int index)
{
    List& list = m_lists[id];
    list.selected = (index >= 0 && size_t(index) < list.entries.size()) ? index : -1;
}

void MemoryControls::Enable(int id, bool enabled) { m_disabled[id] = !enabled; }

bool MemoryControls::IsEnabled(int id) const
{
    const auto it = m_disabled.find(id);
    return it == m_disabled.end() || !it->second;
}

int MemoryControls::SetTextCount(int id) const
{
    const auto it = m_setTextCounts.find(id);
    return it == m_setTextCounts.end() ? 0 : it->second;
}

void MemoryControls::ClearRows(int id) { m_rows[id] = Rows{}; }

void MemoryControls::InsertDeviceRow(int id, int row, const DeviceRow& device)
{
    Rows& rows = m_rows[id];
    if (row < 0 || size_t(row) > rows.rows.size()) row = int(rows.rows.size());
    const auto cells = DeviceRowCells(device);
    rows.rows.insert(rows.rows.begin() + row, Row{device, {cells.begin(), cells.end()}});
    if (rows.selected >= row) ++rows.selected;
}

void MemoryControls::SetCell(int id, int row, int column, const std::string& text936)
{
    Rows& rows = m_rows[id];
    if (row < 0 || size_t(row) >= rows.rows.size() || column < 0) return;
    auto& cells = rows.rows[size_t(row)].cells;
    if (cells.size() <= size_t(column)) cells.resize(size_t(column) + 1);
    cells[size_t(column)] = text936;
}

int MemoryControls::FirstSelectedRow(int id) const
{
    const auto it = m_rows.find(id);
    return it == m_rows.end() ? -1 : it->second.selected;
}

std::string MemoryControls::GetCell(int id, int row, int column) const
{
    const auto it = m_rows.find(id);
    if (it == m_rows.end() || row < 0 || size_t(row) >= it->second.rows.size() || column < 0) return {};
    const auto& cells = it->second.rows[size_t(row)].cells;
    return size_t(column) < cells.size() ? cells[size_t(column)] : std::string();
}

std::optional<DeviceRow> MemoryControls::DeviceRowAt(int id, int row) const
{
    const auto it = m_rows.find(id);
    if (it == m_rows.end() || row < 0 || size_t(row) >= it->second.rows.size()) return std::nullopt;
    return it->second.rows[size_t(row)].device;
}

int MemoryControls::RowCount(int id) const
{
    const auto it = m_rows.find(id);
    return it == m_rows.end() ? 0 : int(it->second.rows.size());
}

void MemoryControls::MarkRow(int, int) {} // the bold row is the Qt list's

void MemoryControls::SelectRow(int id, int row)
{
    Rows& rows = m_rows[id];
    rows.selected = (row >= 0 && size_t(row) < rows.rows.size()) ? row : -1;
}

bool MemoryControls::AskOkCancel(const std::string& text936, const std::string& caption936)
{
    m_boxes.push_back(Box{text936, caption936, MessageIcon::Exclamation});
    return okAnswer;
}

void MemoryControls::MessageBox(const std::string& text936, const std::string& caption936, MessageIcon icon)
{
    m_boxes.push_back(Box{text936, caption936, icon});
}

void MemoryControls::Type(int id, const std::string& utf8)
{
    m_texts[id] = Cp936FromUtf8Lossy(utf8);
    m_unfit[id] = !Cp936FromUtf8(utf8);
}

bool MemoryControls::TextFits936(int id) const
{
    const auto it = m_unfit.find(id);
    return it == m_unfit.end() || !it->second;
}

} // namespace vornik

// A report-view list for many rows: typed device rows, each with the texts
// (code page 936 bytes) it shows, behind a tree view. Rows inserted at the top are gathered and shown in one
// step when the event loop is free, at most every 40 ms, so a row costs the
// same however many rows are above it; the view lays itself out once per
// step instead of once per row.
#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QFont>
#include <QStringList>
#include <QTreeView>

#include <functional>
#include <string>
#include <vector>

#include "ops/device_row.h"

namespace vornik {

// Row numbers of the logic's calls (InsertRow, SetCell, Cell, Device) count
// the rows not yet shown too: they are the rows as the logic sees them. The view's rows
// are those already shown; the gathered ones go on top of them.
class ReportListModel : public QAbstractTableModel {
public:
    explicit ReportListModel(QObject* parent = nullptr);

    void SetHeaders(const QStringList& headers);
    void SetFont(const QFont& font) { m_font = font; }
    int ColumnCount() const { return int(m_headers.size()); }

    // Rows as the logic sees them, gathered ones included.
    int Rows() const { return int(m_rows.size()); }
    void Clear();
    // The row's cells are rendered from it once, here.
    void InsertRow(int row, const DeviceRow& device);
    void SetCell(int row, int column, std::string text936);
    std::string Cell(int row, int column) const;
    // Null for a row the list does not hold.
    const DeviceRow* Device(int row) const;
    // The row drawn in bold as the one the pages were read from (-1: none);
    // the mark goes with the row when others are inserted.
    void Mark(int row);
    bool Marked(int row) const { return row >= 0 && row < Rows() && m_rows[Index(row)].marked; }
    // Told of each row as it is inserted, gathered or not, and of each
    // clear: for what keeps its own account of the rows.
    void SetRowHooks(std::function<void(const DeviceRow&)> inserted, std::function<void()> cleared);
    // The text a screen reader gives as the description of each cell of a
    // row, asked with the row as the logic numbers it.
    void SetDescription(std::function<QString(int row)> describe) { m_describe = std::move(describe); }
    // A row of the view as the logic numbers it.
    int LogicalRow(int viewRow) const { return viewRow + m_gathered; }

    // Shows the gathered rows now.
    void Commit();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        DeviceRow device;
        std::vector<std::string> cells;
        bool marked = false;
    };
    // Storage index of a row as the logic numbers it. Rows are kept bottom
    // first, so the top is the end of the vector and a new top row is a
    // push_back; the gathered rows are the last m_gathered entries.
    size_t Index(int row) const { return m_rows.size() - 1 - size_t(row); }
    void ScheduleCommit();

    QStringList m_headers;
    QFont m_font; // the view's, which a marked row shows in bold
    std::vector<Row> m_rows;
    int m_gathered = 0;
    bool m_commitScheduled = false;
    QElapsedTimer m_lastCommit;
    std::function<void(const DeviceRow&)> m_inserted;
    std::function<void()> m_cleared;
    std::function<QString(int)> m_describe;
};

class CReportList : public QTreeView {
public:
    explicit CReportList(QWidget* parent = nullptr);

    ReportListModel& Rows() { return m_model; }
    const ReportListModel& Rows() const { return m_model; }

    void setHeaderLabels(const QStringList& labels) { m_model.SetHeaders(labels); }
    // Rows the view shows (gathered rows come with the next commit).
    int RowCount() const { return m_model.rowCount(); }
    QRect RowRect(int viewRow) const { return visualRect(m_model.index(viewRow, 0)); }
    // The first selected row as the logic numbers it; -1 when none.
    int FirstSelectedRow() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    ReportListModel m_model;
};

} // namespace vornik

#include "pages/report_list.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QTimer>

#include <algorithm>

#include "pages/cp936.h"
#include "ops/texts.h"

namespace vornik {

namespace {
constexpr qint64 kCommitDelayMs = 40;
} // namespace

ReportListModel::ReportListModel(QObject* parent) : QAbstractTableModel(parent) {}

void ReportListModel::SetHeaders(const QStringList& headers)
{
    Commit();
    const int before = int(m_headers.size());
    const int after = int(headers.size());
    if (after > before) {
        beginInsertColumns({}, before, after - 1);
        m_headers = headers;
        endInsertColumns();
    } else if (after < before) {
        beginRemoveColumns({}, after, before - 1);
        m_headers = headers;
        endRemoveColumns();
    } else {
        m_headers = headers;
    }
    if (after > 0) emit headerDataChanged(Qt::Horizontal, 0, after - 1);
}

void ReportListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_gathered = 0;
    endResetModel();
    if (m_cleared) m_cleared();
}

void ReportListModel::SetRowHooks(std::function<void(const DeviceRow&)> inserted, std::function<void()> cleared)
{
    m_inserted = std::move(inserted);
    m_cleared = std::move(cleared);
}

void ReportListModel::InsertRow(int row, const DeviceRow& device)
{
    const auto cells = DeviceRowCells(device);
    Row entry{device, {cells.begin(), cells.end()}};
    row = std::clamp(row, 0, Rows());
    if (row == 0) {
        m_rows.push_back(std::move(entry));
        ++m_gathered;
        ScheduleCommit();
    } else {
        // Anywhere below the top: the view has to know the row numbers, so
        // the gathered rows go first.
        Commit();
        beginInsertRows({}, row, row);
        m_rows.insert(m_rows.begin() + ptrdiff_t(m_rows.size() - size_t(row)), std::move(entry));
        endInsertRows();
    }
    if (m_inserted) m_inserted(device);
}

void ReportListModel::SetCell(int row, int column, std::string text936)
{
    if (row < 0 || row >= Rows() || column < 0) return;
    std::vector<std::string>& cells = m_rows[Index(row)].cells;
    if (size_t(column) >= cells.size()) cells.resize(size_t(column) + 1);
    cells[size_t(column)] = std::move(text936);
    if (row >= m_gathered) {
        const QModelIndex at = index(row - m_gathered, column);
        emit dataChanged(at, at, {Qt::DisplayRole});
    }
}

std::string ReportListModel::Cell(int row, int column) const
{
    if (row < 0 || row >= Rows() || column < 0) return {};
    const std::vector<std::string>& cells = m_rows[Index(row)].cells;
    return size_t(column) < cells.size() ? cells[size_t(column)] : std::string{};
}

const DeviceRow* ReportListModel::Device(int row) const
{
    return row >= 0 && row < Rows() ? &m_rows[Index(row)].device : nullptr;
}

void ReportListModel::Mark(int row)
{
    for (size_t i = 0; i < m_rows.size(); ++i) m_rows[i].marked = row >= 0 && row < Rows() && i == Index(row);
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount() - 1), {Qt::FontRole, Qt::AccessibleDescriptionRole});
}

void ReportListModel::ScheduleCommit()
{
    if (m_commitScheduled) return;
    m_commitScheduled = true;
    // The view lays out all its rows again for each step, so the steps come
    // at most this often however fast rows arrive; the first after a pause at once.
    const qint64 since = m_lastCommit.isValid() ? m_lastCommit.elapsed() : kCommitDelayMs;
    QTimer::singleShot(int(std::max<qint64>(0, kCommitDelayMs - since)), this, [this] { Commit(); });
}

void ReportListModel::Commit()
{
    m_commitScheduled = false;
    if (m_gathered == 0) return;
    m_lastCommit.start();
    beginInsertRows({}, 0, m_gathered - 1);
    m_gathered = 0;
    endInsertRows();
}

int ReportListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Rows() - m_gathered;
}

int ReportListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount(); }

QVariant ReportListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return {};
    if (role == Qt::AccessibleDescriptionRole) {
        // Bold alone says nothing to a screen reader.
        const int row = LogicalRow(index.row());
        const QString described = m_describe ? m_describe(row) : QString();
        if (!Marked(row)) return described;
        const QString chosen = FromCp936(text::kChosenRowDescription.Cp936());
        return described.isEmpty() ? chosen : chosen + QStringLiteral(u"；") + described;
    }
    if (role == Qt::FontRole) {
        if (!Marked(LogicalRow(index.row()))) return {};
        QFont bold = m_font;
        bold.setBold(true);
        return bold;
    }
    if (role != Qt::DisplayRole) return {};
    // Converted when shown: only the rows in sight ever are.
    return FromCp936(Cell(LogicalRow(index.row()), index.column()));
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_headers.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_headers[section];
}

CReportList::CReportList(QWidget* parent) : QTreeView(parent)
{
    setModel(&m_model);
    m_model.SetFont(font());
}

void CReportList::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) m_model.SetFont(font());
    QTreeView::changeEvent(event);
}

int CReportList::FirstSelectedRow() const
{
    int first = -1;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        if (first < 0 || index.row() < first) first = index.row();
    return first < 0 ? -1 : m_model.LogicalRow(first);
}

} // namespace vornik

#include "app/history_dlg.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ops/device_ops.h"
#include "ops/read_back.h"
#include "proto/cp936.h"
#include "proto/mac_address.h"

namespace vornik {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

} // namespace

CHistoryDlg::CHistoryDlg(QWidget* parent, const MacAddress& mac, const history::Store& store, DeviceOps& ops)
    : QDialog(parent), m_pages(mac, store), m_ops(ops)
{
    const QString macText = QString::fromStdString(FormatMacText(mac));
    setWindowTitle(QCoreApplication::translate("CHistoryDlg", "历史记录 - ") + macText);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(this);
    heading->setWordWrap(true);
    layout->addWidget(heading);

    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    QStringList headings;
    for (const char* heading : HistoryHeadings()) headings << QString::fromUtf8(heading);
    m_list->setHeaderLabels(headings);
    m_list->setAccessibleName(QCoreApplication::translate("CHistoryDlg", "历史记录"));
    heading->setBuddy(m_list);
    LoadMore();
    heading->setText(FromUtf8(m_pages.Heading()));
    // Sized from the first page: the columns do not follow the later ones.
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->header()->setStretchLastSection(true);
    for (int column = 0; column + 1 < m_list->columnCount(); ++column) m_list->resizeColumnToContents(column);
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(this);
    m_fill = buttons->addButton(QCoreApplication::translate("CHistoryDlg", "填入页面"), QDialogButtonBox::ActionRole);
    m_fill->setEnabled(false);
    buttons->addButton(QCoreApplication::translate("CHistoryDlg", "关闭"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_fill->setEnabled(!m_list->selectedItems().isEmpty()); });
    connect(m_fill, &QPushButton::clicked, this, [this] {
        const QList<QTreeWidgetItem*> chosen = m_list->selectedItems();
        if (!chosen.isEmpty() && FillFromRow(m_list->indexOfTopLevelItem(chosen.front()))) accept();
    });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (FillFromRow(m_list->indexOfTopLevelItem(item))) accept();
    });
    // Older entries when the list is scrolled, or walked with the keys, to its end.
    connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { LoadWhenNearEnd(); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { LoadWhenNearEnd(); });
    resize(760, 360);
}

void CHistoryDlg::LoadWhenNearEnd()
{
    if (Complete() || Failure()) return;
    const QScrollBar* bar = m_list->verticalScrollBar();
    const int current = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (bar->value() >= bar->maximum() - bar->pageStep() || current + 1 >= m_list->topLevelItemCount()) LoadMore();
}

bool CHistoryDlg::LoadMore()
{
    std::vector<HistoryRow> rows;
    if (!m_pages.LoadMore(rows)) return false;
    QList<QTreeWidgetItem*> items;
    for (const HistoryRow& row : rows) {
        auto* item = new QTreeWidgetItem;
        for (size_t column = 0; column < row.size(); ++column) item->setText(int(column), FromUtf8(row[column]));
        item->setToolTip(5, item->text(5));
        items << item;
    }
    m_list->addTopLevelItems(items);
    return true;
}

bool CHistoryDlg::FillFromRow(int row) { return row >= 0 && m_pages.FillPages(size_t(row), m_ops); }

} // namespace vornik

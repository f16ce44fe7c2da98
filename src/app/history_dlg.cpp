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

QString FromCp936(const std::string& text) { return QString::fromStdString(Utf8FromCp936(text)); }

QString StageText(history::Stage stage)
{
    switch (stage) {
    case history::Stage::Read: return QCoreApplication::translate("CHistoryDlg", "读取");
    case history::Stage::Before: return QCoreApplication::translate("CHistoryDlg", "写入前");
    case history::Stage::After: return QCoreApplication::translate("CHistoryDlg", "写入后读回");
    }
    return {};
}

QString ChangesText(const std::vector<history::Change>& changes)
{
    QStringList parts;
    for (const history::Change& c : changes) parts << FromCp936(DifferencesText936(c.block, {c.difference}));
    return parts.join(QCoreApplication::translate("CHistoryDlg", "，"));
}

} // namespace

CHistoryDlg::CHistoryDlg(QWidget* parent, const MacAddress& mac, const history::Store& store, DeviceOps& ops)
    : QDialog(parent), m_mac(mac), m_store(store), m_ops(ops)
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
    m_list->setHeaderLabels({QCoreApplication::translate("CHistoryDlg", "时间 (UTC)"), QCoreApplication::translate("CHistoryDlg", "程序"), QCoreApplication::translate("CHistoryDlg", "操作"),
                             QCoreApplication::translate("CHistoryDlg", "阶段"), QCoreApplication::translate("CHistoryDlg", "设备IP"), QCoreApplication::translate("CHistoryDlg", "改动")});
    m_list->setAccessibleName(QCoreApplication::translate("CHistoryDlg", "历史记录"));
    heading->setBuddy(m_list);
    LoadMore();
    heading->setText(m_rows.empty()
                         ? QCoreApplication::translate("CHistoryDlg", "设备 %1 还没有历史记录。").arg(macText)
                         : QCoreApplication::translate("CHistoryDlg",
                                                       "设备 %1 的读取和写入，最新的在前。"
                                                       "选中一项后“填入页面”显示设备在那之后的参数，不发送任何数据。")
                               .arg(macText));
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
    if (m_complete || m_failure) return;
    const QScrollBar* bar = m_list->verticalScrollBar();
    const int current = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (bar->value() >= bar->maximum() - bar->pageStep() || current + 1 >= m_list->topLevelItemCount()) LoadMore();
}

bool CHistoryDlg::LoadMore()
{
    if (m_complete || m_failure) return false;
    history::Query query;
    query.mac = m_mac;
    query.newestFirst = true;
    query.limit = PAGE;
    if (!m_rows.empty()) query.before = m_rows.back();
    std::vector<history::Event> page; // newest first
    if (auto error = m_store.EachEvent(query, [&page](const history::Event& e) {
            page.push_back(e);
            return true;
        })) {
        m_failure = error->message;
        return false;
    }
    m_complete = page.size() < PAGE;
    if (page.empty()) return false;

    // What each entry changed needs the blocks as they stood before the
    // page's oldest: the state just before it, not the entries before it.
    history::ChangeTracker tracker;
    const history::Event& oldest = page.back();
    auto before = m_store.StateThrough(m_mac, {oldest.timeMs, oldest.id - 1});
    if (auto* error = std::get_if<history::Error>(&before)) {
        m_failure = error->message;
        return false;
    }
    if (const auto& state = std::get<std::optional<history::Event>>(before)) tracker.Seed(*state);
    std::vector<std::vector<history::Change>> changes(page.size());
    for (size_t i = page.size(); i-- > 0;) changes[i] = tracker.Next(page[i]);

    QList<QTreeWidgetItem*> items;
    for (size_t i = 0; i < page.size(); ++i) {
        const history::Event& e = page[i];
        auto* item = new QTreeWidgetItem;
        item->setText(0, QString::fromStdString(history::TimeText(e.timeMs)));
        item->setText(1, QString::fromStdString(e.program));
        item->setText(2, FromCp936(OperationName936(e.operation)));
        item->setText(3, StageText(e.stage));
        item->setText(4, e.ip ? QString::fromStdString(FormatDottedQuad(e.ip)) : QString());
        item->setText(5, changes[i].empty() ? QCoreApplication::translate("CHistoryDlg", "—") : ChangesText(changes[i]));
        item->setToolTip(5, item->text(5));
        items << item;
        m_rows.push_back({e.timeMs, e.id});
    }
    m_list->addTopLevelItems(items);
    return true;
}

bool CHistoryDlg::FillFromRow(int row)
{
    if (row < 0 || size_t(row) >= m_rows.size()) return false;
    const history::Position at = m_rows[size_t(row)];
    // Each block as the entry left it: from the entry, or from the last one before it that held it.
    auto state = m_store.StateThrough(m_mac, at);
    const auto* event = std::get_if<std::optional<history::Event>>(&state);
    if (!event || !*event) return false;
    std::optional<DeviceParams> params;
    if ((*event)->device) params = DecodeDeviceBlock(*(*event)->device);
    const std::string when = history::TimeText(at.timeMs);
    m_ops.ShowRecordedState((*event)->network, params, when);
    m_ops.AppendInfoLine(Cp936FromUtf8Lossy("已从历史记录填入页面：设备 " + FormatMacText(m_mac) + " 在 " + when +
                                            " 的参数，尚未发送，写入请按“参数配置”或“配置设备参数”\r\n"));
    return true;
}

} // namespace vornik

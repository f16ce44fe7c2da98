#include "app/history_dlg.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
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

CHistoryDlg::CHistoryDlg(QWidget* parent, const MacAddress& mac, std::vector<history::Event> events, DeviceOps& ops)
    : QDialog(parent), m_mac(mac), m_events(std::move(events)), m_ops(ops)
{
    const QString macText = QString::fromStdString(FormatMacText(mac));
    setWindowTitle(QCoreApplication::translate("CHistoryDlg", "历史记录 - ") + macText);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(m_events.empty()
                                   ? QCoreApplication::translate("CHistoryDlg", "设备 %1 还没有历史记录。").arg(macText)
                                   : QCoreApplication::translate("CHistoryDlg",
                                                                 "设备 %1 的读取和写入，最新的在前。"
                                                                 "选中一项后“填入页面”显示设备在那之后的参数，不发送任何数据。")
                                         .arg(macText),
                               this);
    heading->setWordWrap(true);
    layout->addWidget(heading);

    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({QCoreApplication::translate("CHistoryDlg", "时间 (UTC)"), QCoreApplication::translate("CHistoryDlg", "程序"), QCoreApplication::translate("CHistoryDlg", "操作"),
                             QCoreApplication::translate("CHistoryDlg", "阶段"), QCoreApplication::translate("CHistoryDlg", "设备IP"), QCoreApplication::translate("CHistoryDlg", "改动")});
    m_list->setAccessibleName(QCoreApplication::translate("CHistoryDlg", "历史记录"));
    heading->setBuddy(m_list);
    const std::vector<std::vector<history::Change>> changes = history::ChangesAlong(m_events);
    for (size_t i = m_events.size(); i-- > 0;) {
        const history::Event& e = m_events[i];
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(history::TimeText(e.timeMs)));
        item->setText(1, QString::fromStdString(e.program));
        item->setText(2, FromCp936(OperationName936(e.operation)));
        item->setText(3, StageText(e.stage));
        item->setText(4, e.ip ? QString::fromStdString(FormatDottedQuad(e.ip)) : QString());
        item->setText(5, changes[i].empty() ? QCoreApplication::translate("CHistoryDlg", "—") : ChangesText(changes[i]));
        item->setToolTip(5, item->text(5));
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(true);
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
    resize(760, 360);
}

bool CHistoryDlg::FillFromRow(int row)
{
    if (row < 0 || size_t(row) >= m_events.size()) return false;
    const size_t last = m_events.size() - 1 - size_t(row);
    // Each block as the entry left it: from the entry, or from the last one before it that held it.
    std::optional<NetworkParamsImage> network;
    std::optional<history::DeviceBlock> device;
    for (size_t i = 0; i <= last; ++i) {
        if (m_events[i].network) network = m_events[i].network;
        if (m_events[i].device) device = m_events[i].device;
    }
    std::optional<DeviceParams> params;
    if (device) params = DecodeDeviceBlock(*device);
    const std::string when = history::TimeText(m_events[last].timeMs);
    m_ops.ShowRecordedState(network, params, when);
    m_ops.AppendInfoLine(Cp936FromUtf8Lossy("已从历史记录填入页面：设备 " + FormatMacText(m_mac) + " 在 " + when +
                                            " 的参数，尚未发送，写入请按“参数配置”或“配置设备参数”\r\n"));
    return true;
}

} // namespace vornik

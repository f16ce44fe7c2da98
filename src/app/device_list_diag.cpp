#include "app/device_list_diag.h"

#include <QHelpEvent>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "pages/report_list.h"

#include "proto/net_params.h"

namespace vornik {

namespace {

// Share of red in a conflicting row's background.
constexpr double kTintStrength = 0.3;

QString Address(uint32_t address) { return QString::fromStdString(FormatDottedQuad(address)); }

class TintDelegate : public QStyledItemDelegate {
public:
    TintDelegate(const DeviceListDiagnostics& owner, QObject* parent) : QStyledItemDelegate(parent), m_owner(owner) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.parent().isValid() && m_owner.Rows().InConflict(m_owner.LogicalRow(index.row())))
            option->backgroundBrush = m_owner.Tint();
    }

private:
    const DeviceListDiagnostics& m_owner;
};

} // namespace

void DeviceRowTable::Count(const DeviceRowInfo& info, int delta)
{
    if (info.mac.empty()) return;
    auto& macs = m_macsByIp[info.ip];
    if ((macs[info.mac] += delta) <= 0) macs.erase(info.mac);
    if (macs.empty()) m_macsByIp.erase(info.ip);
}

void DeviceRowTable::Insert(int row, DeviceRowInfo info)
{
    Count(info, +1);
    if (row <= 0) m_rows.push_front(std::move(info));
    else if (row >= Count()) m_rows.push_back(std::move(info));
    else m_rows.insert(m_rows.begin() + row, std::move(info));
}

void DeviceRowTable::SetMac(int row, const std::string& mac)
{
    if (row < 0 || row >= Count()) return;
    DeviceRowInfo& info = m_rows[size_t(row)];
    Count(info, -1);
    info.mac = mac;
    Count(info, +1);
}

void DeviceRowTable::Clear()
{
    m_rows.clear();
    m_macsByIp.clear();
}

const DeviceRowInfo* DeviceRowTable::At(int row) const
{
    return row >= 0 && row < Count() ? &m_rows[size_t(row)] : nullptr;
}

std::vector<std::string> DeviceRowTable::ConflictMacs(int row) const
{
    std::vector<std::string> macs;
    if (!InConflict(row)) return macs;
    for (const auto& [mac, rows] : m_macsByIp.at(m_rows[size_t(row)].ip)) macs.push_back(mac);
    return macs;
}

bool DeviceRowTable::InConflict(int row) const
{
    const DeviceRowInfo* info = At(row);
    if (!info) return false;
    const auto it = m_macsByIp.find(info->ip);
    return it != m_macsByIp.end() && it->second.size() > 1;
}

DeviceListDiagnostics::DeviceListDiagnostics(CReportList* view)
    : QObject(view), m_view(view), m_viewport(view->viewport())
{
    view->setItemDelegate(new TintDelegate(*this, view));
    view->viewport()->installEventFilter(this);
}

int DeviceListDiagnostics::LogicalRow(int viewRow) const { return m_view->Rows().LogicalRow(viewRow); }

QColor DeviceListDiagnostics::Tint() const
{
    const QColor base = m_view->palette().color(QPalette::Base);
    const QColor red(Qt::red);
    auto mix = [](int a, int b) { return int(a * (1 - kTintStrength) + b * kTintStrength + 0.5); };
    return QColor(mix(base.red(), red.red()), mix(base.green(), red.green()), mix(base.blue(), red.blue()));
}

QString DeviceListDiagnostics::ToolTip(int row) const
{
    const DeviceRowInfo* info = m_rows.At(row);
    if (!info) return {};
    QStringList lines;
    const std::vector<std::string> conflict = m_rows.ConflictMacs(row);
    if (!conflict.empty()) {
        QStringList macs;
        for (const std::string& mac : conflict) macs << QString::fromStdString(mac);
        lines << QStringLiteral(u"IP地址冲突：%1 都使用 %2").arg(macs.join(QStringLiteral(u"、")), QString::fromStdString(info->ip));
    }
    lines << QStringLiteral(u"接收网卡（本机地址）：%1")
                 .arg(info->localAddress ? Address(info->localAddress) : QStringLiteral(u"未知"));
    if (info->sourceAddress)
        lines << QStringLiteral(u"回复来自：%1:%2").arg(Address(info->sourceAddress)).arg(info->sourcePort);
    return lines.join(QLatin1Char('\n'));
}

bool DeviceListDiagnostics::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: while the view is being torn down its viewport still
    // sends events here, and the view is no longer one to ask.
    if (event->type() != QEvent::ToolTip || watched != m_viewport) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = m_view->indexAt(help->pos());
    const QString text = index.isValid() && !index.parent().isValid() ? ToolTip(LogicalRow(index.row())) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, m_view->viewport(), m_view->visualRect(index));
    }
    return true;
}

} // namespace vornik
